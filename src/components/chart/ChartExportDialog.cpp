#include "ChartExportDialog.h"

#include "ChartControl.h"
#include "ChartDataText.h"
#include "core/BusyCursor.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/ProgramInfo.h"
#include "core/SafeFileName.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>
#include <new>
#include <optional>

namespace tarnvue {

namespace {

constexpr int DefaultWidth = 1200;
constexpr int DefaultHeight = 800;

bool fitsExportSize(int pixels) {
    return pixels >= MinimumExportSize && pixels <= MaximumExportSize;
}

QString dataText(const ExportFormat& format, const ChartModel& model, DataColumns columns) {
    return format.tabSeparated ? chartDataTsv(model, columns) : chartDataCsv(model, columns);
}

} // namespace

QString proposedFileName(const QString& title, const ExportFormat& format) {
    return SafeFileName(title, QStringLiteral("chart")) + QLatin1Char('.') + format.extension();
}

QString withFormatSuffix(const QString& path, const ExportFormat& format) {
    const QString suffix = QFileInfo(path).suffix();
    for (const QString& accepted : format.suffixes) {
        if (suffix.compare(accepted, Qt::CaseInsensitive) == 0)
            return path;
    }
    if (path.endsWith(QLatin1Char('.')))
        return path + format.extension();
    return path + QLatin1Char('.') + format.extension();
}

ChartExportDialog::ChartExportDialog(ChartControl& control, QWidget* parent)
    : QDialog(parent), m_control(control) {
    setWindowTitle(QStringLiteral("Export Chart"));
    setObjectName(QStringLiteral("chartExportDialog"));

    m_format = new QComboBox;
    m_format->setObjectName(QStringLiteral("format"));
    for (const ExportFormat& format : exportFormats())
        m_format->addItem(format.filter());

    m_width = new QSpinBox;
    m_width->setObjectName(QStringLiteral("imageWidth"));
    m_height = new QSpinBox;
    m_height->setObjectName(QStringLiteral("imageHeight"));
    for (QSpinBox* spin : {m_width, m_height}) {
        spin->setRange(MinimumExportSize, MaximumExportSize);
        spin->setSuffix(QStringLiteral(" px"));
    }
    // The chart as big as it is on screen, when it is on screen.
    const bool onScreen =
        control.isVisible() && fitsExportSize(control.width()) && fitsExportSize(control.height());
    m_width->setValue(onScreen ? control.width() : DefaultWidth);
    m_height->setValue(onScreen ? control.height() : DefaultHeight);

    m_toFile = new QRadioButton(QStringLiteral("To &file"));
    m_toFile->setObjectName(QStringLiteral("toFile"));
    m_toFile->setChecked(true);
    m_toClipboard = new QRadioButton(QStringLiteral("To clip&board"));
    m_toClipboard->setObjectName(QStringLiteral("toClipboard"));

    auto* formatLabel = new QLabel(QStringLiteral("Fo&rmat:"));
    formatLabel->setBuddy(m_format);
    m_widthLabel = new QLabel(QStringLiteral("&Width:"));
    m_widthLabel->setBuddy(m_width);
    m_heightLabel = new QLabel(QStringLiteral("&Height:"));
    m_heightLabel->setBuddy(m_height);

    auto* formatRow = new QFormLayout;
    formatRow->addRow(formatLabel, m_format);

    auto* sizeGroup = new QGroupBox(QStringLiteral("Image size"));
    auto* sizeForm = new QFormLayout(sizeGroup);
    sizeForm->addRow(m_widthLabel, m_width);
    sizeForm->addRow(m_heightLabel, m_height);

    m_extended =
        new QCheckBox(QStringLiteral("E&xtended data: median, percentiles, jitter, polls"));
    m_extended->setObjectName(QStringLiteral("extendedData"));
    m_extended->setToolTip(QStringLiteral("Adds the columns Median Response Time, 5th and 95th "
                                          "Percentile Response Time, Jitter, Polls and Replied "
                                          "Polls after the chart's own"));

    auto* destinationGroup = new QGroupBox(QStringLiteral("Destination"));
    auto* destinationLayout = new QVBoxLayout(destinationGroup);
    destinationLayout->addWidget(m_toFile);
    destinationLayout->addWidget(m_toClipboard);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    m_export = buttons->addButton(QStringLiteral("&Export..."), QDialogButtonBox::ActionRole);
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_export->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &ChartExportDialog::exportClicked);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(formatRow);
    layout->addWidget(m_extended);
    layout->addWidget(sizeGroup);
    layout->addWidget(destinationGroup);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(m_format, &QComboBox::currentIndexChanged, this, &ChartExportDialog::updateControls);
    connect(m_toFile, &QRadioButton::toggled, this, &ChartExportDialog::updateControls);
    updateControls();
}

ChartExportDialog::~ChartExportDialog() = default;

const ExportFormat& ChartExportDialog::currentFormat() const {
    const QList<ExportFormat>& formats = exportFormats();
    const int index = m_format->currentIndex();
    return formats.at(index >= 0 && index < formats.size() ? index : 0);
}

DataColumns ChartExportDialog::dataColumns() const {
    return m_extended->isChecked() ? DataColumns::Extended : DataColumns::Fixed;
}

ExportDestination ChartExportDialog::destination() const {
    return m_toClipboard->isChecked() && currentFormat().allows(ExportDestination::Clipboard)
               ? ExportDestination::Clipboard
               : ExportDestination::File;
}

void ChartExportDialog::updateControls() {
    const ExportFormat& format = currentFormat();
    for (QWidget* widget :
         {static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height),
          static_cast<QWidget*>(m_widthLabel), static_cast<QWidget*>(m_heightLabel)})
        widget->setEnabled(format.isImage());
    m_extended->setEnabled(format.kind == ExportKind::Data);

    const bool clipboard = format.allows(ExportDestination::Clipboard);
    if (!clipboard && m_toClipboard->isChecked())
        m_toFile->setChecked(true);
    m_toClipboard->setEnabled(clipboard);
    m_export->setText(destination() == ExportDestination::Clipboard ? QStringLiteral("Co&py")
                                                                    : QStringLiteral("&Export..."));
}

void ChartExportDialog::exportClicked() {
    if (exportNow())
        accept();
}

bool ChartExportDialog::exportNow() {
    const ExportFormat& format = currentFormat();
    if (destination() == ExportDestination::Clipboard)
        return copyToClipboard(format);
    return exportToFile(format);
}

bool ChartExportDialog::exportToFile(const ExportFormat& format) {
    FileDialogRequest request;
    request.title = QStringLiteral("Export Chart");
    request.fileName = proposedFileName(m_control.mainTitle(), format);
    request.filters = QStringList{format.filter()};
    request.defaultSuffix = format.extension();
    const std::optional<QString> chosen = dialogs().saveFileName(this, request);
    if (!chosen || chosen->trimmed().isEmpty())
        return false;

    // The file dialog asked about replacing the name it returned; a name we
    // extend was never shown, so ask about it here.
    const QString path = withFormatSuffix(*chosen, format);
    const QString shown = QDir::toNativeSeparators(path);
    if (path != *chosen && QFileInfo::exists(path)) {
        const MessageReply reply = dialogs().message(
            this, shown + QStringLiteral(" already exists.\r\nDo you want to replace it?"),
            MessageIcon::Question, programTitle(), MessageButtons::YesNo);
        if (reply != MessageReply::Yes)
            return false;
    }

    QString reason;
    if (!writeFile(format, path, &reason)) {
        showExclamation(this,
                        failureText(QStringLiteral("Cannot export the chart to ") + shown, reason));
        return false;
    }
    return true;
}

bool ChartExportDialog::writeFile(const ExportFormat& format, const QString& path,
                                  QString* reason) {
    const QFileInfo target(path);
    if (!target.absoluteDir().exists()) {
        *reason = QStringLiteral("The folder does not exist.");
        return false;
    }
    if (target.isDir()) {
        *reason = QStringLiteral("A folder has that name.");
        return false;
    }

    const BusyCursor busy;
    return writeChartOutput(m_control, format, path, m_width->value(), m_height->value(), reason,
                            dataColumns());
}

bool ChartExportDialog::copyToClipboard(const ExportFormat& format) {
    const int width = m_width->value();
    const int height = m_height->value();
    QString reason = QStringLiteral("The chart could not be drawn.");
    bool copied = false;
    try {
        const BusyCursor busy;
        switch (format.kind) {
        case ExportKind::Bitmap:
            copied = m_control.bitmapToClipboard(width, height);
            break;
        case ExportKind::Vector:
            copied = m_control.vectorToClipboard(width, height);
            break;
        case ExportKind::Data:
            QGuiApplication::clipboard()->setText(
                dataText(format, m_control.model(), dataColumns()));
            copied = true;
            break;
        case ExportKind::Pdf:
        case ExportKind::Report:
        case ExportKind::ChartFile:
            reason = QStringLiteral("%1 can only be written to a file.").arg(format.name);
            break;
        }
    } catch (const Error& error) {
        reason = error.description();
    } catch (const std::bad_alloc&) {
        reason = QStringLiteral("Not enough memory for an image of %1 x %2 pixels.")
                     .arg(width)
                     .arg(height);
    }
    if (!copied)
        showExclamation(
            this, failureText(QStringLiteral("Cannot copy the chart to the clipboard."), reason));
    return copied;
}

} // namespace tarnvue
