#pragma once

#include "ChartDataText.h" // DataColumns

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarnvue {

class ChartControl;
struct ChartModel;

// What an export writes.
enum class ExportKind {
    Bitmap,    // PNG, JPEG, BMP: pixels
    Vector,    // SVG
    Pdf,       // PDF: to a file only
    Data,      // the chart's values as text
    Report,    // an HTML page with the chart, the figures and the table
    ChartFile, // the chart file Tarnvue opens
};

enum class ExportDestination { File, Clipboard };

// One format the export dialog offers.
struct ExportFormat {
    QString name;         // "PNG image"
    QStringList suffixes; // file name suffixes without the dot; the first is proposed
    ExportKind kind = ExportKind::Bitmap;
    bool clipboard = false;    // may go to the clipboard instead of a file
    bool tabSeparated = false; // data: tabs rather than commas

    QString extension() const { return suffixes.constFirst(); }
    // The file dialog's filter: "JPEG image (*.jpg *.jpeg)".
    QString filter() const;
    bool isImage() const { return kind != ExportKind::Data; }
    bool allows(ExportDestination destination) const {
        return destination == ExportDestination::File || clipboard;
    }
};

// The formats in the order the export dialog lists them: PNG, JPEG, BMP,
// SVG, PDF, CSV, tab-separated text.
const QList<ExportFormat>& exportFormats();

// Every format the chart can be written in: the export dialog's, then the
// HTML report page and the chart file.
const QList<ExportFormat>& outputFormats();
// The output format a file name asks for by its extension, or nullptr.
const ExportFormat* outputFormatForPath(const QString& path);

// Writes the chart in a format to a file, images at width x height pixels.
// Every file goes through writeOutputFile, so a failure leaves no partial
// file and any earlier file intact, and a link, a non-regular file or the
// monitor database is refused. On failure *reason says why. Data formats
// write the columns asked for.
bool writeChartOutput(ChartControl& control, const ExportFormat& format, const QString& path,
                      int width, int height, QString* reason,
                      DataColumns columns = DataColumns::Fixed);

// The report's section on availability and outages: the availability, the
// number of outages with their summed duration, and every stretch in time
// order. Empty when the chart's polls were not scanned.
QString outagesSectionHtml(const ChartModel& model);

// An HTML page: the titles, the chart as a PNG, the overall figures, the
// availability and outages and the table of every bucket. With no
// imageSource the PNG is embedded as a data URI, so the page stands alone;
// otherwise the image is referenced by that address (a file beside the page, or a part of a web archive).
QString chartReportHtml(const ChartModel& model, const QImage& chart,
                        const QString& imageSource = {});

// Writes bytes to a file through writeOutputFile; *reason says why it failed.
bool saveFileContents(const QString& path, const QByteArray& bytes, QString* reason);

} // namespace tarnvue
