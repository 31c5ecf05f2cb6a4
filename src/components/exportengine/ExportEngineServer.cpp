#include "ExportEngineServer.h"

#include "ExportMethods.h"
#include "PrintedPage.h"
#include "WebArchive.h"
#include "components/ComponentIds.h"
#include "components/chart/ChartControl.h"
#include "components/chart/ChartOutput.h"
#include "core/BusyCursor.h"
#include "core/ComponentRegistry.h"
#include "core/Dialogs.h"
#include "core/OutputFile.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QDynamicPropertyChangeEvent>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTextDocument>

namespace tarnvue {

namespace {

ExportEngineServer::Launcher& launcherHook() {
    static ExportEngineServer::Launcher hook;
    return hook;
}

// Callers may build paths with "\" as the separator.
QString normalPath(const QString& path) {
    QString result = path.trimmed();
    if (QDir::separator() == QLatin1Char('/'))
        result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

// The name with the method's extension unless it already ends in one of
// the method's suffixes.
QString withExtension(const QString& name, const ExportMethod& method) {
    for (const QString& suffix : method.suffixes) {
        if (name.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
            return name;
    }
    return name + QLatin1Char('.') + method.extension();
}

// A title without the chart's placement code.
QString plainTitle(const QString& text) {
    if (text.startsWith(QStringLiteral("||")) || text.startsWith(QStringLiteral("|l")))
        return text.mid(2);
    return text;
}

QString documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QByteArray pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// Files larger than this are not read as text to export.
constexpr qint64 MaxTextFileSize = 64 * 1024 * 1024;

} // namespace

ExportEngineServer::ExportEngineServer(QObject* parent) : QObject(parent) {}

ExportEngineServer::~ExportEngineServer() = default;

void ExportEngineServer::setLauncherForTests(Launcher launcher) {
    launcherHook() = std::move(launcher);
}

bool ExportEngineServer::event(QEvent* event) {
    // Only the declared settings may be written: a name without a property
    // is refused (setProperty returns false) and leaves nothing behind.
    if (event->type() == QEvent::DynamicPropertyChange) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName();
        if (property(name.constData()).isValid())
            setProperty(name.constData(), QVariant());
        return true;
    }
    return QObject::event(event);
}

// ---- queries

QVariantList ExportEngineServer::ExportMethods(int objectType) {
    QVariantList list;
    for (const ExportMethod& m : exportMethodsFor(objectType))
        list.append(QVariant(QVariantList{m.key, m.displayName}));
    return list;
}

QVariantList ExportEngineServer::SendToMethods() {
    QVariantList list;
    for (const SendToMethod& m : sendToMethods())
        list.append(QVariant(QVariantList{m.key, m.displayName}));
    return list;
}

QVariantList ExportEngineServer::SentToMethods() {
    return SendToMethods();
}

QString ExportEngineServer::MethodName(const QString& key) {
    return methodDisplayName(key);
}

// ---- exports

bool ExportEngineServer::ExportChart(QObject* chart, const QString& method, const QString&) {
    return exportObject(int(ExportObjectType::Chart), chart, method);
}

bool ExportEngineServer::ExportTable(QObject* table, const QString& method, const QString&) {
    return exportObject(int(ExportObjectType::Table), table, method);
}

bool ExportEngineServer::ExportPicture(QObject* picture, const QString& method, const QString&) {
    return exportObject(int(ExportObjectType::Picture), picture, method);
}

bool ExportEngineServer::ExportMap(QObject* map, const QString& method) {
    return exportObject(int(ExportObjectType::Chart), map, method);
}

bool ExportEngineServer::ExportRTF(const QString& text, const QString& method, const QString&) {
    return exportTextContent(text, method);
}

bool ExportEngineServer::ExportText(const QString& text, const QString& method, const QString&) {
    return exportTextContent(text, method);
}

bool ExportEngineServer::ExportTextFile(const QString& fileName, const QString& method) {
    const QString path = normalPath(fileName);
    QFile file(path);
    if (file.size() > MaxTextFileSize)
        return fail(
            QStringLiteral("%1 is too large to export.").arg(QDir::toNativeSeparators(path)));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("%1 could not be read.\r\n%2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    return exportTextContent(QString::fromUtf8(file.readAll()), method);
}

bool ExportEngineServer::ExportEMFFile(const QString& fileName, const QString& method,
                                       const QString&) {
    const QString path = normalPath(fileName);
    QSvgRenderer svg;
    if (QFileInfo(path).isFile() && svg.load(path) && svg.isValid()) {
        QImage image(imageWidth(), imageHeight(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        return exportImage(image, method);
    }
    return ExportImageFile(fileName, method, QString());
}

bool ExportEngineServer::ExportImageFile(const QString& fileName, const QString& method,
                                         const QString&) {
    const QString path = normalPath(fileName);
    const QImage image(path);
    if (image.isNull())
        return fail(QStringLiteral("%1 is not a picture that can be read.")
                        .arg(QDir::toNativeSeparators(path)));
    return exportImage(image, method);
}

const ExportMethod* ExportEngineServer::chooseMethod(const QList<ExportMethod>& offered,
                                                     const QString& method) const {
    if (!m_fileFormat.trimmed().isEmpty()) {
        if (const ExportMethod* m = findMethod(offered, m_fileFormat))
            return m;
    }
    return findMethod(offered, method);
}

std::optional<QString> ExportEngineServer::targetPath(const QList<ExportMethod>& offered,
                                                      const ExportMethod*& method) {
    QString name = normalPath(m_targetFilename);
    if (name.isEmpty())
        name = QStringLiteral("Export");
    QString folder = normalPath(m_initDir);
    if (folder.isEmpty())
        folder = documentsFolder();

    if (m_skipFilenameSelection)
        return QFileInfo(QDir(folder), withExtension(name, *method)).absoluteFilePath();

    FileDialogRequest request;
    request.title = QStringLiteral("Export - ") + method->displayName;
    const QFileInfo proposed(QDir(folder), withExtension(name, *method));
    request.directory = proposed.absolutePath();
    request.fileName = proposed.fileName();
    request.filters.append(method->filter());
    if (!m_selectMethod) {
        for (const ExportMethod& m : offered) {
            if (&m != method)
                request.filters.append(m.filter());
        }
    }
    request.defaultSuffix = method->extension();
    const std::optional<QString> chosen = dialogs().saveFileName(nullptr, request);
    if (!chosen || chosen->trimmed().isEmpty())
        return std::nullopt;

    if (!m_selectMethod) {
        const QString suffix = QFileInfo(*chosen).suffix();
        for (const ExportMethod& m : offered) {
            if (m.suffixes.contains(suffix, Qt::CaseInsensitive))
                method = &m;
        }
    }
    // The dialog asked about replacing the name it returned; a name we extend
    // was never shown, so ask about it here.
    const QString path = QFileInfo(withExtension(*chosen, *method)).absoluteFilePath();
    if (path != QFileInfo(*chosen).absoluteFilePath() && QFileInfo::exists(path) && !m_quiet) {
        const MessageReply reply =
            dialogs().message(nullptr,
                              QDir::toNativeSeparators(path) +
                                  QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                              MessageIcon::Question, m_programName, MessageButtons::YesNo);
        if (reply != MessageReply::Yes)
            return std::nullopt;
    }
    return path;
}

bool ExportEngineServer::exportObject(int objectType, QObject* object, const QString& method) {
    auto* chart = qobject_cast<ChartControl*>(object);
    if (!chart)
        return fail(QStringLiteral("There is nothing to export: the object is not a chart."));
    if (isPrintMethod(method))
        return printPage(method.compare(QLatin1String(PreviewKey), Qt::CaseInsensitive) == 0,
                         chartPage(*chart));

    return writeExport(exportMethodsFor(objectType), method, QStringLiteral("chart"),
                       [&](const ExportMethod& chosen, const QString& path, QString* reason) {
                           return writeChart(*chart, chosen, path, reason);
                       });
}

// One export job: the method chosen among those offered, the file to write
// (asked for unless told not to), the write itself, and the path reported back.
bool ExportEngineServer::writeExport(
    const QList<ExportMethod>& offered, const QString& method, const QString& what,
    const std::function<bool(const ExportMethod&, const QString&, QString*)>& write) {
    const ExportMethod* chosen = chooseMethod(offered, method);
    if (!chosen)
        return fail(QStringLiteral("The export method \"%1\" is not available.").arg(method));
    const std::optional<QString> path = targetPath(offered, chosen);
    if (!path)
        return false;
    QString reason;
    bool written = false;
    {
        const BusyCursor busy;
        written = write(*chosen, *path, &reason);
    }
    if (!written)
        return fail(QStringLiteral("The %1 could not be exported to %2.\r\n%3")
                        .arg(what, QDir::toNativeSeparators(*path), reason));
    m_targetFilename = *path;
    return true;
}

bool ExportEngineServer::writeChart(ChartControl& chart, const ExportMethod& method,
                                    const QString& path, QString* reason) {
    const QString key = method.key;
    if (key == QLatin1String("HTML") || key == QLatin1String("MHTML")) {
        const QImage image = chart.toImage(imageWidth(), imageHeight());
        if (image.isNull()) {
            *reason = QStringLiteral("The chart could not be drawn at %1 x %2 pixels.")
                          .arg(imageWidth())
                          .arg(imageHeight());
            return false;
        }
        if (key == QLatin1String("HTML"))
            return saveFileContents(path, chartPageHtml(chart, image, {}).toUtf8(), reason);
        WebArchive archive;
        archive.html = chartPageHtml(chart, image, WebArchive::imageSource());
        archive.png = pngBytes(image);
        archive.subject = m_title.isEmpty() ? plainTitle(chart.mainTitle()) : m_title;
        return saveFileContents(path, archive.toBytes(), reason);
    }
    if (key == QLatin1String("PDF")) {
        const PrintedPage page = chartPage(chart);
        return writePdf(
            path,
            [&page](QPagedPaintDevice& device) {
                QPainter painter;
                if (!painter.begin(&device))
                    return false;
                page.paint(painter, device);
                return painter.end();
            },
            reason);
    }
    // PNG, SVG, CSV and TXT are the chart's own output formats.
    const ExportFormat* format = outputFormatForPath(QStringLiteral("chart.") + method.extension());
    if (!format) {
        *reason = QStringLiteral("The chart cannot be written as %1.").arg(method.displayName);
        return false;
    }
    return writeChartOutput(chart, *format, path, imageWidth(), imageHeight(), reason);
}

QString ExportEngineServer::chartPageHtml(ChartControl& chart, const QImage& image,
                                          const QString& source) const {
    ChartModel model = chart.model();
    if (!m_title.isEmpty())
        model.mainTitle = m_title;
    if (!m_subTitle.isEmpty())
        model.subTitle = m_subTitle;
    if (!m_footer.isEmpty())
        model.footer = m_footer;
    QString html = chartReportHtml(model, image, source);
    if (!m_paragraph.isEmpty()) {
        const qsizetype at = html.indexOf(QStringLiteral("<p><img"));
        if (at >= 0) {
            QString text = m_paragraph.toHtmlEscaped();
            text.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"))
                .replace(QLatin1Char('\n'), QStringLiteral("<br>"));
            html.insert(at, QStringLiteral("<p class=\"paragraph\">%1</p>\n").arg(text));
        }
    }
    if (!generator().isEmpty()) {
        const QString charset = QStringLiteral("<meta charset=\"utf-8\">\n");
        const qsizetype at = html.indexOf(charset);
        if (at >= 0)
            html.insert(at + charset.size(),
                        QStringLiteral("<meta name=\"generator\" content=\"%1\">\n")
                            .arg(generator().toHtmlEscaped()));
    }
    return html;
}

PrintedPage ExportEngineServer::chartPage(ChartControl& chart) {
    PrintedPage page;
    page.title = m_title.isEmpty() ? plainTitle(chart.mainTitle()) : m_title;
    page.subTitle = m_subTitle.isEmpty() ? plainTitle(chart.subTitle()) : m_subTitle;
    page.paragraph = m_paragraph;
    page.footer = m_footer.isEmpty() ? plainLine(chart.footer()) : m_footer;
    // The chart itself, in vectors, filling the page below the titles that
    // the page prints once.
    page.drawing = [&chart](QPainter& painter, const QRectF& area) {
        chart.paintTo(painter, area, false);
    };
    return page;
}

bool ExportEngineServer::exportTextContent(const QString& text, const QString& method) {
    QTextDocument document;
    document.setPlainText(text);
    if (!m_title.isEmpty())
        document.setMetaInformation(QTextDocument::DocumentTitle, m_title);
    if (isPrintMethod(method))
        return print(method.compare(QLatin1String(PreviewKey), Qt::CaseInsensitive) == 0,
                     [&document](QPrinter& printer) {
                         document.print(&printer);
                         return true;
                     });

    return writeExport(exportMethodsFor(int(ExportObjectType::Text)), method,
                       QStringLiteral("text"),
                       [&](const ExportMethod& chosen, const QString& path, QString* reason) {
                           if (chosen.key == QLatin1String("TXT"))
                               return saveFileContents(path, text.toUtf8(), reason);
                           if (chosen.key == QLatin1String("HTML"))
                               return saveFileContents(path, document.toHtml().toUtf8(), reason);
                           return writePdf(
                               path,
                               [&document](QPagedPaintDevice& device) {
                                   document.print(&device);
                                   return true;
                               },
                               reason);
                       });
}

bool ExportEngineServer::exportImage(const QImage& image, const QString& method) {
    PrintedPage page;
    page.title = m_title;
    page.subTitle = m_subTitle;
    page.paragraph = m_paragraph;
    page.footer = m_footer;
    page.image = image;
    if (isPrintMethod(method))
        return printPage(method.compare(QLatin1String(PreviewKey), Qt::CaseInsensitive) == 0, page);

    QList<ExportMethod> offered;
    for (const ExportMethod& m : allExportMethods()) {
        if (m.key == QLatin1String("PDF") || m.key == QLatin1String("PNG"))
            offered.append(m);
    }
    return writeExport(offered, method, QStringLiteral("picture"),
                       [&](const ExportMethod& chosen, const QString& path, QString* reason) {
                           if (chosen.key == QLatin1String("PNG"))
                               return saveFileContents(path, pngBytes(image), reason);
                           return writePdf(
                               path,
                               [&page](QPagedPaintDevice& device) {
                                   QPainter painter;
                                   if (!painter.begin(&device))
                                       return false;
                                   page.paint(painter, device);
                                   return painter.end();
                               },
                               reason);
                       });
}

// ---- printing and PDF documents

bool ExportEngineServer::writePdf(const QString& path,
                                  const std::function<bool(QPagedPaintDevice&)>& render,
                                  QString* reason) const {
    // Made in memory: the PDF writer does not notice a short write.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool drawn = false;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4),
                        m_orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait,
                        QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        writer.setCreator(generator());
        writer.setTitle(m_title);
        drawn = render(writer);
    }
    if (!drawn) {
        *reason = QStringLiteral("The document could not be drawn.");
        return false;
    }
    return writeOutputFile(path, buffer.data(), reason);
}

bool ExportEngineServer::printPage(bool preview, const PrintedPage& page) {
    return print(preview, [&page](QPrinter& printer) {
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        page.paint(painter, printer);
        return painter.end();
    });
}

bool ExportEngineServer::print(bool preview, const std::function<bool(QPrinter&)>& render) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(m_orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setCreator(generator());
    printer.setDocName(m_title.isEmpty() ? QStringLiteral("Tarnvue") : m_title);

    const QString device = normalPath(m_defaultPrinter);
    if (!preview && m_quiet && device.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        // Scripts and tests print into a PDF file without any dialog.
        const QString path = QFileInfo(device).absoluteFilePath();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        if (!render(printer))
            return fail(
                QStringLiteral("Could not print to %1.").arg(QDir::toNativeSeparators(path)));
        m_targetFilename = path;
        return true;
    }

    bool named = false;
    if (!device.isEmpty() && !QPrinterInfo::printerInfo(device).isNull()) {
        printer.setPrinterName(device);
        named = true;
    }
    if (preview) {
        QPrintPreviewDialog dialog(&printer);
        dialog.setWindowTitle(QStringLiteral("Print Preview"));
        connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                [&render](QPrinter* target) {
                    const BusyCursor busy;
                    render(*target);
                });
        dialog.exec();
        return true;
    }
    if (!(m_quiet && named)) {
        QPrintDialog dialog(&printer);
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    bool printed = false;
    {
        const BusyCursor busy;
        printed = render(printer);
    }
    if (!printed)
        return fail(QStringLiteral("The printer could not be started."));
    return true;
}

// ---- send-to

bool ExportEngineServer::SendTo(const QString& fileName, const QString& sendToKey) {
    const QFileInfo file(normalPath(fileName));
    if (!file.isFile())
        return fail(QStringLiteral("%1 cannot be sent: the file does not exist.")
                        .arg(QDir::toNativeSeparators(file.filePath())));
    const QString path = file.absoluteFilePath();
    const QString key = sendToKey.trimmed();
    const auto is = [&key](const char* name) {
        return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };

    if (is("MailContent")) {
        const QString subject = m_title.isEmpty() ? file.fileName() : m_title;
        const QString xdgEmail = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
        bool started = false;
        if (!xdgEmail.isEmpty()) {
            started = launch(
                xdgEmail, {QStringLiteral("--subject"), subject, QStringLiteral("--attach"), path},
                QUrl());
        } else {
            // A mailto: address cannot carry the file, and a link to a file
            // on this machine means nothing to the one who gets the mail.
            return fail(QStringLiteral("No mail program can be reached: xdg-email (from "
                                       "xdg-utils) is not installed.\r\nThe file is %1.")
                            .arg(QDir::toNativeSeparators(path)));
        }
        return started || fail(QStringLiteral("The mail program could not be started."));
    }
    if (is("MyDocuments"))
        return copyInto(path, documentsFolder());
    if (is("Desktop"))
        return copyInto(path, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (is("Open"))
        return launch(QString(), {}, QUrl::fromLocalFile(path)) ||
               fail(QStringLiteral("%1 could not be opened.").arg(QDir::toNativeSeparators(path)));
    return fail(QStringLiteral("The send-to target \"%1\" is not available.").arg(sendToKey));
}

bool ExportEngineServer::copyInto(const QString& path, const QString& folder) {
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return fail(QStringLiteral("The folder %1 is not available.")
                        .arg(QDir::toNativeSeparators(folder)));
    const QString target = freeFileName(folder, QFileInfo(path).fileName());
    if (!QFile::copy(path, target))
        return fail(QStringLiteral("%1 could not be copied to %2.")
                        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(folder)));
    m_targetFilename = target;
    return true;
}

bool ExportEngineServer::launch(const QString& program, const QStringList& args,
                                const QUrl& url) const {
    if (launcherHook())
        return launcherHook()(program, args, url);
    if (!program.isEmpty())
        return QProcess::startDetached(program, args);
    return QDesktopServices::openUrl(url);
}

// ---- small helpers

bool ExportEngineServer::fail(const QString& text) const {
    m_lastError = text;
    if (!m_quiet)
        showExclamation(nullptr, text);
    return false;
}

int ExportEngineServer::imageWidth() const {
    return m_imageWidth > 0 ? m_imageWidth : 640;
}

int ExportEngineServer::imageHeight() const {
    return m_imageHeight > 0 ? m_imageHeight : 400;
}

QString ExportEngineServer::generator() const {
    return (m_programName + QLatin1Char(' ') + m_programVersion).trimmed();
}

void registerExportEngine() {
    ComponentRegistry::instance().add(ComponentIds::exportEngine(),
                                      [] { return std::make_unique<ExportEngineServer>(); });
}

} // namespace tarnvue
