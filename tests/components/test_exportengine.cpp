#include "RecordingDialogs.h"
#include "components/ComponentIds.h"
#include "components/chart/ChartControl.h"
#include "components/exportengine/ExportEngineServer.h"
#include "core/ComponentRegistry.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace tarnvue;

namespace {

const int Points = 12;

// A response-time chart as the program builds it: four series over quarter
// hours, the last on the right axis, a gap at point 3, titles and a line.
void fill(ChartControl& c) {
    c.reset();
    c.setSeriesCount(4);
    c.setPointCount(Points);
    c.setMissingValue(-1);
    c.setVisiblePointCount(Points);
    c.setMinutesPerPoint(15);
    c.setFirstPointTime(46327.0);
    const char* labels[] = {"Minimum", "Maximum", "Average", "% Loss"};
    for (int s = 0; s < 4; ++s)
        c.setSeriesLabel(s, QString::fromLatin1(labels[s]));
    c.setRightAxisSeries(1);
    c.setRightAxisRange(0, 101);
    for (int p = 0; p < Points; ++p) {
        for (int s = 0; s < 4; ++s)
            c.setValue(s, p, p == 3 ? -1.0f : float(10 * (s + 1) + p % 5));
    }
    c.setMainTitle(QStringLiteral("gateway-7"));
    c.setSubTitle(QStringLiteral("Today"));
    Annotation average;
    average.defined = true;
    average.value = 30;
    average.text = QStringLiteral("Average 30.0 ms");
    c.setAnnotation(0, average);
    c.setShowAnnotations(true);
    c.action(ChartControl::ActionRebuild);
}

std::unique_ptr<QObject> createEngine() {
    registerExportEngine();
    return ComponentRegistry::instance().create(ComponentIds::exportEngine());
}

// Every call goes by name, as the program's client makes it.
bool exportChart(QObject* engine, QObject* chart, const QString& method) {
    bool result = false;
    const bool called = QMetaObject::invokeMethod(
        engine, "ExportChart", Qt::DirectConnection, Q_RETURN_ARG(bool, result),
        Q_ARG(QObject*, chart), Q_ARG(QString, method), Q_ARG(QString, QStringLiteral("/opt/x")));
    if (!called)
        qWarning("ExportChart could not be called by name");
    return called && result;
}

bool sendTo(QObject* engine, const QString& file, const QString& key) {
    bool result = false;
    const bool called = QMetaObject::invokeMethod(engine, "SendTo", Qt::DirectConnection,
                                                  Q_RETURN_ARG(bool, result), Q_ARG(QString, file),
                                                  Q_ARG(QString, key));
    return called && result;
}

QVariantList listOf(QObject* engine, const char* name, std::optional<int> objectType = {}) {
    QVariantList list;
    const bool called = objectType ? QMetaObject::invokeMethod(engine, name, Qt::DirectConnection,
                                                               Q_RETURN_ARG(QVariantList, list),
                                                               Q_ARG(int, *objectType))
                                   : QMetaObject::invokeMethod(engine, name, Qt::DirectConnection,
                                                               Q_RETURN_ARG(QVariantList, list));
    if (!called)
        qWarning("%s could not be called by name", name);
    return list;
}

QStringList column(const QVariantList& pairs, int index) {
    QStringList result;
    for (const QVariant& pair : pairs)
        result.append(pair.toList().value(index).toString());
    return result;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets up an engine that writes without asking, into a folder.
void writeQuietlyTo(QObject* engine, const QString& target) {
    QVERIFY(engine->setProperty("TargetFilename", target));
    QVERIFY(engine->setProperty("SkipFilenameSelection", true));
    QVERIFY(engine->setProperty("Quiet", true));
    QVERIFY(engine->setProperty("ImageWidth", 500));
    QVERIFY(engine->setProperty("ImageHeight", 300));
}

struct MimePart {
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
};

// The parts of a multipart message, by the boundary its Content-Type names.
QList<MimePart> mimeParts(const QByteArray& message, QByteArray* contentType) {
    const qsizetype headerEnd = message.indexOf("\r\n\r\n");
    const QByteArray header = message.left(headerEnd).replace("\r\n\t", " ");
    QByteArray boundary;
    for (const QByteArray& line : header.split('\n')) {
        if (line.toLower().startsWith("content-type:")) {
            *contentType = line.mid(13).trimmed();
            const qsizetype at = contentType->indexOf("boundary=\"");
            if (at >= 0)
                boundary = contentType->mid(at + 10, contentType->indexOf('"', at + 10) - at - 10);
        }
    }
    QList<MimePart> parts;
    if (boundary.isEmpty())
        return parts;
    QByteArray joined = message;
    const QByteArray delimiter = "\r\n--" + boundary;
    qsizetype at = joined.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype start = at + delimiter.size();
        if (joined.mid(start, 2) == "--")
            break;
        const qsizetype next = joined.indexOf(delimiter, start);
        const QByteArray chunk = joined.mid(start + 2, next < 0 ? -1 : next - start - 2);
        const qsizetype split = chunk.indexOf("\r\n\r\n");
        MimePart part;
        for (const QByteArray& line : chunk.left(split).split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                part.headers[line.left(colon).trimmed().toLower()] = line.mid(colon + 1).trimmed();
        }
        part.body = chunk.mid(split + 4);
        parts.append(part);
        at = next;
    }
    return parts;
}

} // namespace

class TestExportEngine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Send-to folders and the documents folder land in a scratch home.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QStandardPaths::setTestModeEnabled(true);
    }

    void cleanup() { ExportEngineServer::setLauncherForTests({}); }

    void createdByIdentifierWithOrderedMethodLists() {
        const auto engine = createEngine();
        QVERIFY(engine);

        const QVariantList chart = listOf(engine.get(), "ExportMethods", 3);
        QCOMPARE(column(chart, 0),
                 (QStringList{"HTML", "MHTML", "PDF", "PNG", "SVG", "CSV", "TXT"}));
        QCOMPARE(column(chart, 1).value(0), QStringLiteral("Web Page (HTML)"));
        QCOMPARE(column(chart, 1).value(1), QStringLiteral("Web Archive (MHTML)"));
        QCOMPARE(column(listOf(engine.get(), "ExportMethods", 0), 0),
                 (QStringList{"HTML", "MHTML", "CSV", "TXT"}));
        QCOMPARE(column(listOf(engine.get(), "ExportMethods", 1), 0),
                 (QStringList{"TXT", "HTML", "PDF"}));
        QVERIFY(listOf(engine.get(), "ExportMethods", 42).isEmpty());

        const QStringList sendKeys{"MailContent", "MyDocuments", "Desktop", "Open"};
        QCOMPARE(column(listOf(engine.get(), "SendToMethods"), 0), sendKeys);
        QCOMPARE(column(listOf(engine.get(), "SentToMethods"), 0), sendKeys);
        QCOMPARE(column(listOf(engine.get(), "SendToMethods"), 1).value(0),
                 QStringLiteral("Mail Recipient"));

        const auto name = [&engine](const QString& key) {
            QString result;
            QMetaObject::invokeMethod(engine.get(), "MethodName", Qt::DirectConnection,
                                      Q_RETURN_ARG(QString, result), Q_ARG(QString, key));
            return result;
        };
        QCOMPARE(name("mhtml"), QStringLiteral("Web Archive (MHTML)"));
        QCOMPARE(name("PRINTER"), QStringLiteral("Printer"));
        QCOMPARE(name("Desktop"), QStringLiteral("Desktop"));
        QCOMPARE(name("GIF"), QString());
    }

    void onlyDeclaredSettingsCanBeWritten() {
        const auto engine = createEngine();
        QVERIFY(engine->setProperty("Title", QStringLiteral("Uplink")));
        QCOMPARE(engine->property("Title").toString(), QStringLiteral("Uplink"));
        QVERIFY(engine->setProperty("Orientation", 2));
        QCOMPARE(engine->property("Orientation").toInt(), 2);
        QVERIFY(engine->setProperty("Quiet", true));

        QVERIFY(!engine->setProperty("PaperColour", QStringLiteral("red")));
        QVERIFY(!engine->property("PaperColour").isValid());
        QVERIFY(engine->dynamicPropertyNames().isEmpty());
    }

    void writesHtmlPageWithImageAndTable() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        const auto engine = createEngine();
        writeQuietlyTo(engine.get(), dir.filePath("report"));
        QVERIFY(engine->setProperty("Title", QStringLiteral("Gateway <7>")));
        QVERIFY(engine->setProperty("Paragraph", QStringLiteral("Polled every minute.")));
        QVERIFY(exportChart(engine.get(), &chart, "HTML"));

        const QString path = dir.filePath("report.html");
        QCOMPARE(engine->property("TargetFilename").toString(), path);
        const QString html = QString::fromUtf8(readAll(path));
        QVERIFY(html.contains("<h1>Gateway &lt;7&gt;</h1>"));
        QVERIFY(html.contains("<h2>Today</h2>"));
        QVERIFY(html.contains("Polled every minute."));
        QVERIFY(html.contains("<th>Average</th>"));
        QVERIFY(html.contains("Average 30.0 ms"));
        QCOMPARE(html.count("<tr><td>"), Points);

        // The page stands alone: the chart is inside it.
        const QString marker = "src=\"data:image/png;base64,";
        const qsizetype at = html.indexOf(marker);
        QVERIFY(at > 0);
        const qsizetype end = html.indexOf('"', at + marker.size());
        const QImage image =
            QImage::fromData(QByteArray::fromBase64(
                                 html.mid(at + marker.size(), end - at - marker.size()).toLatin1()),
                             "PNG");
        QCOMPARE(image.size(), QSize(500, 300));
    }

    void writesWebArchiveWithPageAndImage() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        const auto engine = createEngine();
        writeQuietlyTo(engine.get(), dir.filePath("archive"));
        QVERIFY(exportChart(engine.get(), &chart, "MHTML"));
        const QString path = dir.filePath("archive.mhtml");
        QCOMPARE(engine->property("TargetFilename").toString(), path);

        const QByteArray message = readAll(path);
        QVERIFY(message.contains("MIME-Version: 1.0\r\n"));
        QVERIFY(message.contains("Subject: gateway-7\r\n"));
        QByteArray contentType;
        const QList<MimePart> parts = mimeParts(message, &contentType);
        QVERIFY(contentType.startsWith("multipart/related;"));
        QCOMPARE(parts.size(), 2);
        QVERIFY(parts[0].headers.value("content-type").startsWith("text/html"));
        QCOMPARE(parts[1].headers.value("content-type"), QByteArray("image/png"));
        QCOMPARE(parts[0].headers.value("content-transfer-encoding"), QByteArray("base64"));
        QCOMPARE(parts[1].headers.value("content-transfer-encoding"), QByteArray("base64"));

        const QImage image = QImage::fromData(QByteArray::fromBase64(parts[1].body), "PNG");
        QCOMPARE(image.size(), QSize(500, 300));
        // The page shows the image part by its Content-ID.
        QByteArray id = parts[1].headers.value("content-id");
        QVERIFY(id.startsWith('<') && id.endsWith('>'));
        id = id.mid(1, id.size() - 2);
        const QString html = QString::fromUtf8(QByteArray::fromBase64(parts[0].body));
        QVERIFY(html.contains("src=\"cid:" + QString::fromLatin1(id) + "\""));
        QCOMPARE(html.count("<tr><td>"), Points);
        QVERIFY(!html.contains("data:image"));
    }

    void writesPdfPngSvgAndData() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        const auto engine = createEngine();

        writeQuietlyTo(engine.get(), dir.filePath("out"));
        QVERIFY(exportChart(engine.get(), &chart, "PDF"));
        QCOMPARE(engine->property("TargetFilename").toString(), dir.filePath("out.pdf"));
        const QByteArray pdf = readAll(dir.filePath("out.pdf"));
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.size() > 1000);

        writeQuietlyTo(engine.get(), dir.filePath("out"));
        QVERIFY(exportChart(engine.get(), &chart, "png"));
        QCOMPARE(engine->property("TargetFilename").toString(), dir.filePath("out.png"));
        QCOMPARE(QImage(dir.filePath("out.png")).size(), QSize(500, 300));

        writeQuietlyTo(engine.get(), dir.filePath("out"));
        QVERIFY(exportChart(engine.get(), &chart, "SVG"));
        QVERIFY(readAll(dir.filePath("out.svg")).contains("<svg"));

        // A name that already ends in the extension keeps it.
        writeQuietlyTo(engine.get(), dir.filePath("data.csv"));
        QVERIFY(exportChart(engine.get(), &chart, "CSV"));
        QCOMPARE(engine->property("TargetFilename").toString(), dir.filePath("data.csv"));
        const QList<QByteArray> csv = readAll(dir.filePath("data.csv")).trimmed().split('\n');
        QCOMPARE(csv.size(), Points + 1);
        QVERIFY(csv[0].startsWith("Time,"));

        writeQuietlyTo(engine.get(), dir.filePath("data"));
        QVERIFY(exportChart(engine.get(), &chart, "TXT"));
        const QList<QByteArray> tsv = readAll(dir.filePath("data.txt")).trimmed().split('\n');
        QCOMPARE(tsv.size(), Points + 1);
        QVERIFY(tsv[0].startsWith("Time\t"));
    }

    void fileFormatSettingWinsOverMethod() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        const auto engine = createEngine();
        writeQuietlyTo(engine.get(), dir.filePath("mail"));
        QVERIFY(engine->setProperty("FileFormat", QStringLiteral("MHTML")));
        QVERIFY(exportChart(engine.get(), &chart, "HTML"));
        QCOMPARE(engine->property("TargetFilename").toString(), dir.filePath("mail.mhtml"));
        QVERIFY(readAll(dir.filePath("mail.mhtml")).contains("multipart/related"));
    }

    void asksForTheFileNameUnlessSkipped() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        test::DialogRecorderScope rec;
        const auto engine = createEngine();
        QVERIFY(engine->setProperty("TargetFilename", QStringLiteral("gateway-7")));
        QVERIFY(engine->setProperty("InitDir", dir.path()));
        QVERIFY(engine->setProperty("SelectMethod", true));

        rec->fileAnswers.push_back(dir.filePath("chosen"));
        QVERIFY(exportChart(engine.get(), &chart, "CSV"));
        QCOMPARE(rec->fileRequests.size(), 1);
        const FileDialogRequest& request = rec->fileRequests.constFirst();
        QCOMPARE(request.directory, dir.path());
        QCOMPARE(request.fileName, QStringLiteral("gateway-7.csv"));
        QCOMPARE(request.filters, QStringList{"Comma-Separated Values (CSV) (*.csv)"});
        QCOMPARE(request.defaultSuffix, QStringLiteral("csv"));
        QCOMPARE(engine->property("TargetFilename").toString(), dir.filePath("chosen.csv"));
        QVERIFY(QFileInfo::exists(dir.filePath("chosen.csv")));

        // Without SelectMethod every type is offered and the chosen name's
        // extension picks the format.
        QVERIFY(engine->setProperty("SelectMethod", false));
        rec->fileAnswers.push_back(dir.filePath("picked.svg"));
        QVERIFY(exportChart(engine.get(), &chart, "CSV"));
        QCOMPARE(rec->fileRequests.last().filters.size(), 7);
        QVERIFY(readAll(dir.filePath("picked.svg")).contains("<svg"));

        // Cancel: nothing written, nothing said.
        rec->fileAnswers.push_back(QString());
        QVERIFY(!exportChart(engine.get(), &chart, "PNG"));
        QCOMPARE(rec->fileRequests.size(), 3);
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath("gateway-7.png")));
    }

    void failuresAreReportedUnlessQuiet() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        test::DialogRecorderScope rec;
        const auto engine = createEngine();
        const QString unwritable = dir.filePath("missing/folder/out");
        QVERIFY(engine->setProperty("TargetFilename", unwritable));
        QVERIFY(engine->setProperty("SkipFilenameSelection", true));

        QVERIFY(!exportChart(engine.get(), &chart, "CSV"));
        QCOMPARE(rec->messages.size(), 1);
        QCOMPARE(rec->messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(rec->messages[0].text.contains("out.csv"));
        QCOMPARE(engine->property("TargetFilename").toString(), unwritable);

        QVERIFY(!exportChart(engine.get(), &chart, "GIF"));
        QVERIFY(!exportChart(engine.get(), engine.get(), "CSV")); // not a chart
        QCOMPARE(rec->messages.size(), 3);

        QVERIFY(engine->setProperty("Quiet", true));
        QVERIFY(!exportChart(engine.get(), &chart, "CSV"));
        QCOMPARE(rec->messages.size(), 3);
    }

    void printsIntoPdfPrinter() {
        QTemporaryDir dir;
        ChartControl chart;
        fill(chart);
        test::DialogRecorderScope rec;
        const auto engine = createEngine();
        const QString pdf = dir.filePath("out.pdf");
        QVERIFY(engine->setProperty("Quiet", true));
        QVERIFY(engine->setProperty("DefaultPrinter", pdf));
        QVERIFY(exportChart(engine.get(), &chart, "PRINTER"));
        const QByteArray bytes = readAll(pdf);
        QVERIFY(bytes.startsWith("%PDF-"));
        QCOMPARE(engine->property("TargetFilename").toString(), pdf);
        QVERIFY(rec->fileRequests.isEmpty());
        QVERIFY(rec->messages.isEmpty());

        // The title once, above the chart: the chart leaves its own out.
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        QCOMPARE(QString::fromUtf8(text.readAllStandardOutput()).count("gateway-7"), 1);

        // The page at 300 dpi: the chart is drawn at that resolution (a
        // gridline is a hairline, not a stretched screen pixel) and fills
        // the portrait page down to its footer.
        QProcess raster;
        raster.start(QStringLiteral("pdftoppm"),
                     {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                      QStringLiteral("-singlefile"), pdf, dir.filePath("page")});
        QVERIFY(raster.waitForFinished());
        const QImage page(dir.filePath("page.png"));
        QVERIFY(!page.isNull());
        QVERIFY(page.height() > page.width());
        // The narrowest light run across the gridlines, down columns of the
        // plot's middle (series lines cross some of them).
        int widest = page.height();
        for (int x = page.width() * 3 / 10; x < page.width() * 7 / 10; x += 37) {
            int run = 0;
            int column = 0;
            for (int y = page.height() / 5; y < page.height() * 4 / 5; ++y) {
                const int gray = qGray(page.pixel(x, y));
                run = gray < 250 && gray > 150 ? run + 1 : 0;
                column = std::max(column, run);
            }
            widest = std::min(widest, column);
        }
        QVERIFY2(widest > 0 && widest <= 2, qPrintable(QString::number(widest)));
        int lowest = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); x += 7) {
                if (qGray(page.pixel(x, y)) < 128 && y < page.height() * 19 / 20)
                    lowest = y;
            }
        }
        QVERIFY2(lowest > page.height() * 4 / 5, qPrintable(QString::number(lowest)));
    }

    void sendsCopiesWithoutOverwriting() {
        QTemporaryDir dir;
        const QString source = dir.filePath("report.html");
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<p>new</p>");
        }
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(m_home.path()));
        QVERIFY(QDir().mkpath(documents));
        {
            QFile existing(documents + "/report.html");
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("<p>old</p>");
        }
        const auto engine = createEngine();
        QVERIFY(sendTo(engine.get(), source, "MyDocuments"));
        QCOMPARE(readAll(documents + "/report.html"), QByteArray("<p>old</p>"));
        QCOMPARE(readAll(documents + "/report (2).html"), QByteArray("<p>new</p>"));
        QCOMPARE(engine->property("TargetFilename").toString(), documents + "/report (2).html");
        QVERIFY(sendTo(engine.get(), source, "mydocuments"));
        QVERIFY(QFileInfo::exists(documents + "/report (3).html"));

        QVERIFY(engine->setProperty("Quiet", true));
        QVERIFY(!sendTo(engine.get(), dir.filePath("absent.html"), "MyDocuments"));
        QVERIFY(!sendTo(engine.get(), source, "Fax"));
    }

    void mailAndOpenGoThroughTheLauncher() {
        QTemporaryDir dir;
        const QString file = dir.filePath("page.mhtml");
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("x");
        }
        struct Launch {
            QString program;
            QStringList args;
            QUrl url;
        };
        QList<Launch> launches;
        ExportEngineServer::setLauncherForTests(
            [&launches](const QString& program, const QStringList& args, const QUrl& url) {
                launches.append({program, args, url});
                return true;
            });
        const auto engine = createEngine();
        const QByteArray path = qgetenv("PATH");

        // With xdg-email on the PATH the mail composer gets the file attached.
        QTemporaryDir bin;
        {
            QFile fake(bin.filePath("xdg-email"));
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write("#!/bin/sh\nexit 0\n");
            fake.close();
            fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", QFile::encodeName(bin.path()));
        const bool mailed = sendTo(engine.get(), file, "MailContent");
        // Without it no mail program can be reached, and the send says so.
        QVERIFY(engine->setProperty("Quiet", true));
        qputenv("PATH", QFile::encodeName(dir.filePath("nothing-here")));
        const bool mailedByUrl = sendTo(engine.get(), file, "mailcontent");
        qputenv("PATH", path);
        QVERIFY(engine->setProperty("Quiet", false));

        QVERIFY(mailed);
        QVERIFY(!mailedByUrl);
        QVERIFY(engine->property("LastError").toString().startsWith("No mail program"));
        QCOMPARE(launches.size(), 1);
        QCOMPARE(launches[0].program, bin.filePath("xdg-email"));
        QCOMPARE(launches[0].args, (QStringList{"--subject", "page.mhtml", "--attach", file}));

        QVERIFY(sendTo(engine.get(), file, "Open"));
        QCOMPARE(launches.size(), 2);
        QCOMPARE(launches[1].url, QUrl::fromLocalFile(file));

        // A launch that fails is a failed send.
        ExportEngineServer::setLauncherForTests(
            [](const QString&, const QStringList&, const QUrl&) { return false; });
        QVERIFY(engine->setProperty("Quiet", true));
        QVERIFY(!sendTo(engine.get(), file, "Open"));
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestExportEngine)
#include "test_exportengine.moc"
