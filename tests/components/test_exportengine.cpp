#include "ChartBuilder.h"
#include "RecordingDialogs.h"
#include "components/ComponentIds.h"
#include "components/chart/ChartControl.h"
#include "components/exportengine/ExportEngineServer.h"
#include "components/exportengine/WebArchive.h"
#include "core/ComponentRegistry.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace tarnvue;
using namespace Qt::StringLiterals;

namespace {

const int Points = 12;

std::unique_ptr<QObject> createEngine() {
    registerExportEngine();
    return ComponentRegistry::instance().create(ComponentIds::exportEngine());
}

// Every call goes by name, as the program's client makes it.
bool exportChart(QObject* engine, QObject* chart, const QString& method) {
    bool result = false;
    return QMetaObject::invokeMethod(engine, "ExportChart", Qt::DirectConnection,
                                     Q_RETURN_ARG(bool, result), Q_ARG(QObject*, chart),
                                     Q_ARG(QString, method), Q_ARG(QString, "/opt/x")) &&
           result;
}

bool sendTo(QObject* engine, const QString& file, const QString& key) {
    bool result = false;
    return QMetaObject::invokeMethod(engine, "SendTo", Qt::DirectConnection,
                                     Q_RETURN_ARG(bool, result), Q_ARG(QString, file),
                                     Q_ARG(QString, key)) &&
           result;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// An engine that writes without asking, into a folder, at 500 x 300.
std::unique_ptr<QObject> quietEngine(const QString& target) {
    auto engine = createEngine();
    engine->setProperty("TargetFilename", target);
    engine->setProperty("SkipFilenameSelection", true);
    engine->setProperty("Quiet", true);
    engine->setProperty("ImageWidth", 500);
    engine->setProperty("ImageHeight", 300);
    return engine;
}

struct MimePart {
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
};

// The parts of a multipart message, by the boundary its Content-Type names;
// none unless the closing delimiter follows the last.
QList<MimePart> mimeParts(const QByteArray& message) {
    static const QRegularExpression boundaryIn(u"boundary=\"([^\"]+)\""_s);
    const QString text = QString::fromLatin1(message);
    const QStringList chunks = text.split(u"\r\n--"_s + boundaryIn.match(text).captured(1));
    QList<MimePart> parts;
    for (qsizetype c = 1; c + 1 < chunks.size() && chunks.last().startsWith(u"--"_s); ++c) {
        const qsizetype split = chunks[c].indexOf(u"\r\n\r\n"_s);
        MimePart part;
        for (const QString& line : chunks[c].mid(2, split - 2).split(u"\r\n"_s)) {
            const qsizetype colon = line.indexOf(u':');
            part.headers[line.left(colon).toLower().toLatin1()] =
                line.mid(colon + 1).trimmed().toLatin1();
        }
        part.body = chunks[c].mid(split + 4).toLatin1();
        parts.append(part);
    }
    return parts;
}

// The Subject as a mail reader shows it: the header unfolded, its RFC 2047
// encoded words decoded and the space between two of them dropped. Fails
// when a line breaks the limits of mail or a word splits a character.
QString subjectOf(const QByteArray& message) {
    QByteArray field;
    bool inSubject = false;
    for (QByteArray line : message.left(message.indexOf("\r\n\r\n")).split('\n')) {
        line.chop(line.endsWith('\r') ? 1 : 0);
        const bool folded = line.startsWith(' ') || line.startsWith('\t');
        inSubject = folded ? inSubject : line.startsWith("Subject: ");
        if (!inSubject)
            continue;
        const bool mailSafe = std::all_of(line.cbegin(), line.cend(),
                                          [](char c) { return c == '\t' || (c >= 32 && c < 127); });
        if (line.size() > 78 || !mailSafe)
            return u"bad line: "_s + QString::fromUtf8(line);
        field += folded ? line : line.mid(9);
    }
    static const QRegularExpression word(QStringLiteral(R"(=\?([^?]+)\?([BbQq])\?([^?]*)\?=)"));
    QString text;
    qsizetype at = 0;
    for (auto it = word.globalMatch(QString::fromLatin1(field)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString between = QString::fromLatin1(field.mid(at, m.capturedStart() - at));
        if (at == 0 || !between.trimmed().isEmpty())
            text += between;
        QByteArray bytes = m.captured(3).toLatin1();
        bytes = m.captured(2).toUpper() == u"B"
                    ? QByteArray::fromBase64(bytes)
                    : QByteArray::fromPercentEncoding(bytes.replace('_', ' '), '=');
        if (m.capturedLength() > 75 || m.captured(1).toLower() != u"utf-8" ||
            QString::fromUtf8(bytes).toUtf8() != bytes)
            return u"bad word: "_s + m.captured();
        text += QString::fromUtf8(bytes);
        at = m.capturedEnd();
    }
    return text + QString::fromLatin1(field.mid(at));
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
        m_chart.setModel(test::chartOf(test::sampleValues(Points)));
    }

    // Each method writes its format, named with its extension (or the
    // FileFormat setting's) unless the name has it.
    void exportsEachMethod_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("fileFormat");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("written");
        QTest::newRow("PDF") << u"PDF"_s << u""_s << u"out"_s << u"out.pdf"_s;
        QTest::newRow("CSV, name with its extension")
            << u"CSV"_s << u""_s << u"data.csv"_s << u"data.csv"_s;
        QTest::newRow("HTML, image inside")
            << u"HTML"_s << u""_s << u"report"_s << u"report.html"_s;
        QTest::newRow("FileFormat wins") << u"HTML"_s << u"MHTML"_s << u"mail"_s << u"mail.mhtml"_s;
    }
    void exportsEachMethod() {
        QFETCH(QString, method);
        QFETCH(QString, fileFormat);
        QFETCH(QString, target);
        QFETCH(QString, written);
        QTemporaryDir dir;
        const auto engine = quietEngine(dir.filePath(target));
        engine->setProperty("FileFormat", fileFormat);
        engine->setProperty("Title", u"Gateway <7>"_s);
        QVERIFY(exportChart(engine.get(), &m_chart, method));
        const QString path = dir.filePath(written);
        QCOMPARE(engine->property("TargetFilename").toString(), path);
        const QByteArray bytes = readAll(path);
        if (written.endsWith(".png")) {
            QCOMPARE(QImage(path).size(), QSize(500, 300));
        } else if (written.endsWith(".csv") || written.endsWith(".txt")) {
            const QList<QByteArray> lines = bytes.trimmed().split('\n');
            QCOMPARE(lines.size(), Points + 1);
            QVERIFY(lines[0].startsWith(written.endsWith(".csv") ? "Time,Min" : "Time\tMin"));
        } else if (written.endsWith(".html")) {
            // The page stands alone (the chart is inside it) under the engine's title.
            QVERIFY(bytes.contains("<h1>Gateway &lt;7&gt;</h1>"));
            QVERIFY(bytes.contains("src=\"data:image/png;base64,iVBORw0KGgo"));
        } else {
            const char* start = written.endsWith(".pdf")   ? "%PDF-"
                                : written.endsWith(".svg") ? "<svg"
                                                           : "From:";
            QVERIFY2(bytes.contains(start), bytes.left(100).constData());
        }
    }

    // The page and the chart as two parts, the page showing the image part
    // by its Content-ID. The page and the Subject carry the chart's title
    // in any script; the page has the paragraph, the reference lines and a
    // table row a bucket.
    void writesWebArchiveWithPageAndImage() {
        QTemporaryDir dir;
        ChartControl chart;
        ChartModel model = test::chartOf(test::sampleValues(Points));
        model.mainTitle = u"||Zürich <7> – 東京 🙂"_s;
        chart.setModel(model);
        const auto engine = quietEngine(dir.filePath("archive"));
        engine->setProperty("Paragraph", u"Polled every minute."_s);
        QVERIFY(exportChart(engine.get(), &chart, "MHTML"));
        const QByteArray message = readAll(dir.filePath("archive.mhtml"));
        QVERIFY(message.contains("\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related;"));
        const QList<MimePart> parts = mimeParts(message);
        QCOMPARE(parts.size(), 2);
        QCOMPARE(parts[0].headers.value("content-type"),
                 QByteArray("text/html; charset=\"utf-8\""));
        QCOMPARE(parts[1].headers.value("content-type"), QByteArray("image/png"));
        QCOMPARE(QImage::fromData(QByteArray::fromBase64(parts[1].body), "PNG").size(),
                 QSize(500, 300));
        const QByteArray id = parts[1].headers.value("content-id");
        QVERIFY(id.startsWith('<') && id.endsWith('>'));
        const QString html = QString::fromUtf8(QByteArray::fromBase64(parts[0].body));
        QVERIFY(html.contains("src=\"cid:" + QString::fromLatin1(id.mid(1, id.size() - 2)) + "\""));
        QVERIFY(html.contains(u"<h1>Zürich &lt;7&gt; – 東京 🙂</h1>\n<h2>Today</h2>"_s));
        QVERIFY(html.contains("Polled every minute."));
        QVERIFY(html.contains("<th>Average</th>") && html.contains("Average 30.0 ms"));
        QCOMPARE(html.count("<tr><td>"), Points);
    }

    // The archive's Subject reads back as the title in every mail reader:
    // printable ASCII within mail's line limits, non-ASCII text in encoded
    // words of whole characters, line breaks never starting a new header.
    void webArchiveSubject_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        const QString long8bit = u"ü"_s + u"Zürich – 東京 🙂 "_s.repeated(40);
        const QString longAscii = u"core router "_s.repeated(100);
        QTest::newRow("long, non-ASCII") << long8bit << long8bit;
        QTest::newRow("long, ASCII") << longAscii << longAscii;
        QTest::newRow("line breaks")
            << u"router\r\nBcc: x@example.com"_s << u"router  Bcc: x@example.com"_s;
    }
    void webArchiveSubject() {
        QFETCH(QString, title);
        WebArchive archive;
        archive.subject = title;
        archive.html = u"<p>x</p>"_s;
        const QByteArray bytes = archive.toBytes();
        QTEST(subjectOf(bytes), "shown");
        QCOMPARE(mimeParts(bytes).size(), 2);
    }

    // The file dialog proposes the name in the folder given and offers one
    // type or all; a cancel writes and says nothing. A failure says why,
    // unless the engine is quiet.
    void asksForTheFileAndReportsFailures() {
        QTemporaryDir dir;
        test::DialogRecorderScope rec;
        const auto engine = createEngine();
        engine->setProperty("TargetFilename", u"gateway-7"_s);
        engine->setProperty("InitDir", dir.path());
        engine->setProperty("SelectMethod", true);
        rec->fileAnswers = {dir.filePath("chosen"), dir.filePath("picked.svg"), QString()};
        QVERIFY(exportChart(engine.get(), &m_chart, "CSV"));
        const FileDialogRequest& request = rec->fileRequests.constFirst();
        QCOMPARE(request.directory, dir.path());
        QCOMPARE(request.fileName, u"gateway-7.csv"_s);
        QCOMPARE(request.filters.size(), 1);
        QCOMPARE(request.defaultSuffix, u"csv"_s);
        QCOMPARE(engine->property("TargetFilename").toString(), dir.filePath("chosen.csv"));
        QVERIFY(QFileInfo::exists(dir.filePath("chosen.csv")));
        // Without SelectMethod every type is offered and the chosen name's
        // extension picks the format.
        engine->setProperty("SelectMethod", false);
        QVERIFY(exportChart(engine.get(), &m_chart, "CSV"));
        QCOMPARE(rec->fileRequests.last().filters.size(), 7);
        QVERIFY(readAll(dir.filePath("picked.svg")).contains("<svg"));
        QVERIFY(!exportChart(engine.get(), &m_chart, "PNG")); // cancelled
        QCOMPARE(rec->fileRequests.size(), 3);
        QVERIFY(rec->messages.isEmpty() && !QFileInfo::exists(dir.filePath("gateway-7.png")));

        const QString unwritable = dir.filePath("missing/folder/out");
        engine->setProperty("TargetFilename", unwritable);
        engine->setProperty("SkipFilenameSelection", true);
        QVERIFY(!exportChart(engine.get(), &m_chart, "CSV"));
        QCOMPARE(rec->messages.size(), 1);
        QCOMPARE(rec->messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(rec->messages[0].text.startsWith("The chart could not be exported to " +
                                                 QDir::toNativeSeparators(unwritable + ".csv")));
        QCOMPARE(engine->property("TargetFilename").toString(), unwritable);
        QVERIFY(!exportChart(engine.get(), &m_chart, "GIF"));
        QVERIFY(!exportChart(engine.get(), engine.get(), "CSV")); // not a chart
        QCOMPARE(rec->messages.size(), 3);
        engine->setProperty("Quiet", true);
        QVERIFY(!exportChart(engine.get(), &m_chart, "CSV"));
        QCOMPARE(rec->messages.size(), 3);
    }

    void printsIntoPdfPrinter() {
        QTemporaryDir dir;
        test::DialogRecorderScope rec;
        const auto engine = createEngine();
        const QString pdf = dir.filePath("out.pdf");
        engine->setProperty("Quiet", true);
        engine->setProperty("DefaultPrinter", pdf);
        QVERIFY(exportChart(engine.get(), &m_chart, "PRINTER"));
        QCOMPARE(engine->property("TargetFilename").toString(), pdf);
        QVERIFY(rec->fileRequests.isEmpty() && rec->messages.isEmpty());

        // The title once, above the chart: the chart leaves its own out.
        QProcess text;
        text.start(u"pdftotext"_s, {pdf, u"-"_s});
        QVERIFY(text.waitForFinished());
        QCOMPARE(QString::fromUtf8(text.readAllStandardOutput()).count("gateway-7"), 1);

        // The page at 300 dpi: the chart is drawn at that resolution (a
        // gridline is a hairline, not a stretched screen pixel) and fills
        // the portrait page down to its footer.
        QProcess raster;
        raster.start(u"pdftoppm"_s,
                     {"-r", "300", "-png", "-singlefile", pdf, dir.filePath("page")});
        QVERIFY(raster.waitForFinished());
        const QImage page(dir.filePath("page.png"));
        QVERIFY(!page.isNull() && page.height() > page.width());
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
        for (int y = 0; y < page.height() * 19 / 20; ++y) {
            for (int x = 0; x < page.width(); x += 7) {
                if (qGray(page.pixel(x, y)) < 128)
                    lowest = y;
            }
        }
        QVERIFY2(lowest > page.height() * 4 / 5, qPrintable(QString::number(lowest)));
    }

    void sendsCopiesWithoutOverwriting() {
        QTemporaryDir dir;
        test::DialogRecorderScope rec;
        const QString source = dir.filePath("report.html");
        writeFile(source, "<p>new</p>");
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(m_home.path()) && QDir().mkpath(documents));
        writeFile(documents + "/report.html", "<p>old</p>");
        const auto engine = createEngine();
        QVERIFY(sendTo(engine.get(), source, "MyDocuments"));
        QCOMPARE(readAll(documents + "/report.html"), QByteArray("<p>old</p>"));
        QCOMPARE(readAll(documents + "/report (2).html"), QByteArray("<p>new</p>"));
        QCOMPARE(engine->property("TargetFilename").toString(), documents + "/report (2).html");
        QVERIFY(rec->messages.isEmpty());

        engine->setProperty("Quiet", true);
        QVERIFY(!sendTo(engine.get(), dir.filePath("absent.html"), "MyDocuments"));
        QVERIFY(!sendTo(engine.get(), source, "Fax"));
    }

    // With xdg-email on the PATH the mail composer gets the file attached;
    // without it no mail program can be reached, and the send says so.
    void mailGoesThroughXdgEmail() {
        QTemporaryDir dir;
        const QString file = dir.filePath("page.mhtml");
        writeFile(file, "x");
        QList<QStringList> launches;
        ExportEngineServer::setLauncherForTests(
            [&launches](const QString& program, const QStringList& args, const QUrl&) {
                launches.append(QStringList{program} + args);
                return true;
            });
        const auto engine = createEngine();
        engine->setProperty("Quiet", true);
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir bin;
        writeFile(bin.filePath("xdg-email"), "#!/bin/sh\nexit 0\n");
        QFile(bin.filePath("xdg-email")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin.path()));
        const bool mailed = sendTo(engine.get(), file, "MailContent");
        qputenv("PATH", QFile::encodeName(dir.filePath("nothing-here")));
        const bool mailedWithout = sendTo(engine.get(), file, "mailcontent");
        qputenv("PATH", path);
        ExportEngineServer::setLauncherForTests({});
        QVERIFY(mailed && !mailedWithout);
        QVERIFY(engine->property("LastError").toString().startsWith("No mail program"));
        const QStringList mail{bin.filePath("xdg-email"), "--subject", "page.mhtml", "--attach",
                               file};
        QCOMPARE(launches, QList<QStringList>{mail});
    }

private:
    QTemporaryDir m_home;
    ChartControl m_chart;
};

QTEST_MAIN(TestExportEngine)
#include "test_exportengine.moc"
