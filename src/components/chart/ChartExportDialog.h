#pragma once

#include "ChartOutput.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tarnvue {

class ChartControl;

// The name the file dialog proposes: the title made safe as every proposed
// name is (SafeFileName, "chart" for an empty title) plus the format's
// extension.
QString proposedFileName(const QString& title, const ExportFormat& format);

// The path with the format's extension appended unless it already ends in one
// of the format's suffixes (case-insensitively), so a PNG never lands in a
// file called ".jpg".
QString withFormatSuffix(const QString& path, const ExportFormat& format);

// Image sizes the dialog accepts, in pixels, both ways.
inline constexpr int MinimumExportSize = 16;
inline constexpr int MaximumExportSize = 10000;

// The chart's "Export" dialog: a format, an image size, and a destination.
// "Export..." asks for the file through the program's dialogs (title "Export
// Chart") and writes it; "Copy" puts the chart on the clipboard. The dialog
// closes after a successful export and stays open after a failure, which is
// reported in a message box. Data formats may add the extended columns.
// Widgets carry object names for tests: "format", "extendedData",
// "imageWidth", "imageHeight", "toFile", "toClipboard", "exportButton".
class ChartExportDialog : public QDialog {
    Q_OBJECT

public:
    explicit ChartExportDialog(ChartControl& control, QWidget* parent = nullptr);
    ~ChartExportDialog() override;

    const ExportFormat& currentFormat() const;
    ExportDestination destination() const;
    // The data columns the data formats write.
    DataColumns dataColumns() const;

    // Exports with the current selections. True when the export was written;
    // false after a failure (reported to the user) or a cancelled file
    // dialog (nothing happens).
    bool exportNow();

private:
    void updateControls();
    void exportClicked();
    bool exportToFile(const ExportFormat& format);
    bool writeFile(const ExportFormat& format, const QString& path, QString* reason);
    bool copyToClipboard(const ExportFormat& format);

    ChartControl& m_control;
    QComboBox* m_format = nullptr;
    QCheckBox* m_extended = nullptr;
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QLabel* m_widthLabel = nullptr;
    QLabel* m_heightLabel = nullptr;
    QRadioButton* m_toFile = nullptr;
    QRadioButton* m_toClipboard = nullptr;
    QPushButton* m_export = nullptr;
};

} // namespace tarnvue
