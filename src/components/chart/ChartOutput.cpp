#include "ChartOutput.h"

#include "ChartControl.h"
#include "ChartDataText.h"
#include "ChartModel.h"
#include "core/Clock.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "core/OutputFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QLocale>

namespace tarnvue {

QString ExportFormat::filter() const {
    QStringList patterns;
    for (const QString& suffix : suffixes)
        patterns.append(QStringLiteral("*.") + suffix);
    return name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

const QList<ExportFormat>& exportFormats() {
    static const QList<ExportFormat> formats{
        {QStringLiteral("PNG image"), {QStringLiteral("png")}, ExportKind::Bitmap, true, false},
        {QStringLiteral("JPEG image"),
         {QStringLiteral("jpg"), QStringLiteral("jpeg")},
         ExportKind::Bitmap,
         true,
         false},
        {QStringLiteral("BMP image"), {QStringLiteral("bmp")}, ExportKind::Bitmap, true, false},
        {QStringLiteral("SVG drawing"), {QStringLiteral("svg")}, ExportKind::Vector, true, false},
        {QStringLiteral("PDF document"), {QStringLiteral("pdf")}, ExportKind::Pdf, false, false},
        {QStringLiteral("CSV data"), {QStringLiteral("csv")}, ExportKind::Data, true, false},
        {QStringLiteral("Tab-separated text"),
         {QStringLiteral("txt"), QStringLiteral("tsv")},
         ExportKind::Data,
         true,
         true},
    };
    return formats;
}

const QList<ExportFormat>& outputFormats() {
    static const QList<ExportFormat> formats = [] {
        QList<ExportFormat> all = exportFormats();
        all.append({QStringLiteral("HTML report"),
                    {QStringLiteral("html"), QStringLiteral("htm")},
                    ExportKind::Report,
                    false,
                    false});
        all.append({QStringLiteral("Norvane Chart"),
                    {QStringLiteral("nvc")},
                    ExportKind::ChartFile,
                    false,
                    false});
        return all;
    }();
    return formats;
}

const ExportFormat* outputFormatForPath(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const ExportFormat& format : outputFormats()) {
        if (format.suffixes.contains(suffix))
            return &format;
    }
    return nullptr;
}

bool saveFileContents(const QString& path, const QByteArray& bytes, QString* reason) {
    return writeOutputFile(path, bytes, reason);
}

namespace {

// A title without its placement code.
QString plainText(const QString& text) {
    if (text.startsWith(QStringLiteral("||")) || text.startsWith(QStringLiteral("|l")))
        return text.mid(2);
    return text;
}

} // namespace

QString outagesSectionHtml(const ChartModel& model) {
    if (model.availability.isEmpty())
        return {};
    int outages = 0;
    std::int64_t downtime = 0;
    for (const ShadedStretch& s : model.shading) {
        if (s.kind == ShadedStretch::Outage) {
            ++outages;
            downtime += s.seconds;
        }
    }
    QString html = QStringLiteral("<section class=\"outages\">\n<h3>Availability and outages</h3>\n");
    html += QStringLiteral("<p>Availability: %1</p>\n").arg(model.availability.toHtmlEscaped());
    html += QStringLiteral("<p>Outages: %1, downtime %2</p>\n").arg(outages).arg(durationText(downtime));
    if (!model.shading.empty()) {
        html += QStringLiteral("<table class=\"outages\">\n<thead><tr><th>Kind</th><th>Start</th>"
                               "<th>End</th><th>Duration</th><th>Lost polls</th></tr></thead>\n"
                               "<tbody>\n");
        for (const ShadedStretch& s : model.shading) {
            const bool outage = s.kind == ShadedStretch::Outage;
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>\n")
                        .arg(shadedKindText(s.kind), DateValue::stampText(s.begin),
                             s.ongoing ? QStringLiteral("ongoing") : DateValue::stampText(s.end),
                             durationText(s.seconds),
                             outage ? QString::number(s.lostPolls) : QString());
        }
        html += QStringLiteral("</tbody>\n</table>\n");
    }
    html += QStringLiteral("</section>\n");
    return html;
}

QString chartReportHtml(const ChartModel& model, const QImage& chart, const QString& imageSource) {
    QString source = imageSource;
    if (source.isEmpty()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        chart.save(&buffer, "PNG");
        source = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
    }
    const QString title = plainText(model.mainTitle);
    const QLocale locale;
    QString html;
    html +=
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n")
            .arg(locale.bcp47Name().toHtmlEscaped());
    html += QStringLiteral("<title>%1</title>\n")
                .arg((title.isEmpty() ? QStringLiteral("Response Time") : title).toHtmlEscaped());
    html += QStringLiteral(
        "<style>\nbody{font-family:sans-serif;margin:2em;color:#222}\n"
        "h1{margin-bottom:0}h2{margin-top:.2em;font-weight:normal;color:#555}\n"
        "img{max-width:100%;height:auto;border:1px solid #ddd}\n"
        "table{border-collapse:collapse;margin-top:1em}\n"
        "th,td{border:1px solid #ccc;padding:.2em .6em}td{text-align:right}\n"
        "td:first-child{text-align:left}tr:nth-child(even){background:#f6f6f6}\n"
        "footer{margin-top:1em;color:#777;font-size:small}\n</style>\n</head>\n<body>\n");
    if (!title.isEmpty())
        html += QStringLiteral("<h1>%1</h1>\n").arg(title.toHtmlEscaped());
    if (!plainText(model.subTitle).isEmpty())
        html += QStringLiteral("<h2>%1</h2>\n").arg(plainText(model.subTitle).toHtmlEscaped());
    html += QStringLiteral("<p><img alt=\"%1\" src=\"%2\"></p>\n")
                .arg((title.isEmpty() ? QStringLiteral("Chart") : title).toHtmlEscaped(),
                     source.toHtmlEscaped());
    QStringList figures;
    for (const Annotation& a : model.annotations) {
        if (a.defined && !plainText(a.text).isEmpty())
            figures << plainText(a.text);
    }
    if (!figures.isEmpty()) {
        html += QStringLiteral("<ul class=\"figures\">\n");
        for (const QString& figure : figures)
            html += QStringLiteral("<li>%1</li>\n").arg(figure.toHtmlEscaped());
        html += QStringLiteral("</ul>\n");
    }
    html += outagesSectionHtml(model);
    html += QStringLiteral("<table>\n<thead><tr>");
    for (const QString& heading : tableHeadings(model))
        html += QStringLiteral("<th>%1</th>").arg(heading.toHtmlEscaped());
    html += QStringLiteral("</tr></thead>\n<tbody>\n");
    const int rows = tableRowCount(model, DateValue::fromDateTime(currentDateTime()));
    const std::vector<ShapeFigure> spread = tableShapeFigures(model);
    for (int p = 0; p < rows; ++p) {
        html +=
            QStringLiteral("<tr><td>%1</td>").arg(tableTimeText(model, p, locale).toHtmlEscaped());
        for (int s = 0; s < model.seriesCount; ++s)
            html += QStringLiteral("<td>%1</td>").arg(tableValueText(model, s, p, locale));
        for (ShapeFigure figure : spread)
            html += QStringLiteral("<td>%1</td>").arg(tableShapeText(model, figure, p, locale));
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</tbody>\n</table>\n");
    QString footer = plainLine(model.footer);
    footer += (footer.isEmpty() ? QString() : QStringLiteral(" \u00b7 ")) +
              madeAtText(currentDateTime(), locale);
    html += QStringLiteral("<footer>%1</footer>\n").arg(footer.toHtmlEscaped());
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

bool writeChartOutput(ChartControl& control, const ExportFormat& format, const QString& path,
                      int width, int height, QString* reason, DataColumns columns) {
    // The image writers only say whether they wrote; a refused path is
    // explained here first.
    if (const QString refusal = outputRefusal(path); !refusal.isEmpty()) {
        *reason = refusal;
        return false;
    }
    try {
        bool written = false;
        switch (format.kind) {
        case ExportKind::Bitmap:
            written = control.bitmapToFile(width, height, path, reason);
            break;
        case ExportKind::Vector:
            written = control.vectorToFile(width, height, path, reason);
            break;
        case ExportKind::Pdf:
            written = control.pdfToFile(width, height, path, reason);
            break;
        case ExportKind::Data: {
            const QString text = format.tabSeparated ? chartDataTsv(control.model(), columns)
                                                     : chartDataCsv(control.model(), columns);
            return saveFileContents(path, text.toUtf8(), reason);
        }
        case ExportKind::Report: {
            const QImage image = control.toImage(width, height);
            if (image.isNull()) {
                *reason = QStringLiteral("The chart could not be drawn at %1 x %2 pixels.")
                              .arg(width)
                              .arg(height);
                return false;
            }
            return saveFileContents(path, chartReportHtml(control.model(), image).toUtf8(), reason);
        }
        case ExportKind::ChartFile:
            return control.saveChart(path, reason);
        }
        if (!written && reason->isEmpty())
            *reason = QStringLiteral("The file could not be written.");
        return written;
    } catch (const Error& error) {
        *reason = error.description();
    } catch (const std::bad_alloc&) {
        *reason = QStringLiteral("Not enough memory for an image of %1 x %2 pixels.")
                      .arg(width)
                      .arg(height);
    }
    return false;
}

} // namespace tarnvue
