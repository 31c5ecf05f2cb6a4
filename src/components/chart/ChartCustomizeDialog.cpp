#include "ChartCustomizeDialog.h"

#include "ChartControl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarnvue {

namespace {

// The left axis carries response times in milliseconds.
constexpr double AxisLimit = 1e7;

QString seriesName(const ChartModel& model, int series) {
    const auto index = static_cast<std::size_t>(series);
    const QString label = index < model.series.size() ? model.series[index].label : QString();
    return label.trimmed().isEmpty() ? QStringLiteral("Series %1").arg(series + 1) : label;
}

QIcon swatch(const QColor& color) {
    QPixmap pixmap(32, 14);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(QColor(Qt::darkGray));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

void selectData(QComboBox* combo, int value) {
    const int index = combo->findData(value);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

QLabel* buddyLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

ChartCustomizeDialog::ChartCustomizeDialog(ChartControl& control, QWidget* parent)
    : QDialog(parent), m_control(control), m_original(control.model()) {
    setWindowTitle(QStringLiteral("Customize Chart"));
    setObjectName(QStringLiteral("chartCustomizeDialog"));

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->addTab(buildTitlesPage(), QStringLiteral("&Titles"));
    m_tabs->addTab(buildSeriesPage(), QStringLiteral("&Series"));
    m_tabs->addTab(buildAxesPage(), QStringLiteral("&Axes"));
    m_tabs->addTab(buildDisplayPage(), QStringLiteral("&Display"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

ChartCustomizeDialog::~ChartCustomizeDialog() = default;

QWidget* ChartCustomizeDialog::buildTitlesPage() {
    auto* page = new QWidget;
    m_mainTitle = new QLineEdit(m_original.mainTitle);
    m_mainTitle->setObjectName(QStringLiteral("mainTitle"));
    m_subTitle = new QLineEdit(m_original.subTitle);
    m_subTitle->setObjectName(QStringLiteral("subTitle"));

    auto* form = new QFormLayout(page);
    form->addRow(buddyLabel(QStringLiteral("&Main title:"), m_mainTitle), m_mainTitle);
    form->addRow(buddyLabel(QStringLiteral("Su&btitle:"), m_subTitle), m_subTitle);

    connect(m_mainTitle, &QLineEdit::textChanged, &m_control, &ChartControl::setMainTitle);
    connect(m_subTitle, &QLineEdit::textChanged, &m_control, &ChartControl::setSubTitle);
    return page;
}

QWidget* ChartCustomizeDialog::buildSeriesPage() {
    auto* rows = new QWidget;
    auto* grid = new QGridLayout(rows);
    const int count = m_original.seriesCount;

    // One row per series, one column per property. The column headings lead
    // to the first series' controls; Tab walks through the rows in turn.
    auto* colorHeading = new QLabel(QStringLiteral("Co&lor"));
    auto* widthHeading = new QLabel(QStringLiteral("Line &width"));
    auto* styleHeading = new QLabel(QStringLiteral("Line st&yle"));
    grid->addWidget(new QLabel(QStringLiteral("Series")), 0, 0);
    grid->addWidget(colorHeading, 0, 1);
    grid->addWidget(widthHeading, 0, 2);
    grid->addWidget(styleHeading, 0, 3);

    m_series.resize(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        const SeriesStyle style = static_cast<std::size_t>(s) < m_original.series.size()
                                      ? m_original.series[static_cast<std::size_t>(s)]
                                      : SeriesStyle();
        const QString name = seriesName(m_original, s);
        QString escaped = name;
        escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
        SeriesRow& row = m_series[static_cast<std::size_t>(s)];

        row.visible =
            new QCheckBox(s < 9 ? QStringLiteral("&%1 %2").arg(s + 1).arg(escaped) : escaped);
        row.visible->setObjectName(QStringLiteral("seriesVisible%1").arg(s));
        row.visible->setChecked(style.visible);
        row.visible->setToolTip(QStringLiteral("Show %1 on the chart").arg(name));

        row.color = new QToolButton;
        row.color->setObjectName(QStringLiteral("seriesColor%1").arg(s));
        row.color->setIcon(swatch(style.color));
        row.color->setIconSize(QSize(32, 14));
        row.color->setToolTip(style.color.name());
        row.color->setAccessibleName(QStringLiteral("%1 color").arg(name));
        row.color->setFocusPolicy(Qt::StrongFocus);

        row.width = new QDoubleSpinBox;
        row.width->setObjectName(QStringLiteral("seriesWidth%1").arg(s));
        row.width->setRange(0.5, 10.0);
        row.width->setSingleStep(0.5);
        row.width->setDecimals(1);
        row.width->setValue(style.lineWidth);
        row.width->setAccessibleName(QStringLiteral("%1 line width").arg(name));

        row.style = new QComboBox;
        row.style->setObjectName(QStringLiteral("seriesStyle%1").arg(s));
        row.style->addItem(QStringLiteral("Solid"), int(LineType::Solid));
        row.style->addItem(QStringLiteral("Dash"), int(LineType::Dash));
        row.style->addItem(QStringLiteral("Dot"), int(LineType::Dot));
        row.style->addItem(QStringLiteral("Dash-dot"), int(LineType::DashDot));
        selectData(row.style, int(style.lineType));
        row.style->setAccessibleName(QStringLiteral("%1 line style").arg(name));

        grid->addWidget(row.visible, s + 1, 0);
        grid->addWidget(row.color, s + 1, 1);
        grid->addWidget(row.width, s + 1, 2);
        grid->addWidget(row.style, s + 1, 3);

        connect(row.visible, &QCheckBox::toggled, this,
                [this, s](bool on) { applySeriesVisible(s, on); });
        connect(row.color, &QToolButton::clicked, this, [this, s] { chooseSeriesColor(s); });
        connect(row.width, &QDoubleSpinBox::valueChanged, this, [this, s] { applySeriesLine(s); });
        connect(row.style, &QComboBox::currentIndexChanged, this,
                [this, s] { applySeriesLine(s); });
    }
    if (count > 0) {
        colorHeading->setBuddy(m_series.front().color);
        widthHeading->setBuddy(m_series.front().width);
        styleHeading->setBuddy(m_series.front().style);
    } else {
        grid->addWidget(new QLabel(QStringLiteral("The chart has no series.")), 1, 0, 1, 4);
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(count + 1, 1);

    // Charts rarely have more than four series, but nothing limits them.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("seriesPage"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(rows);
    return scroll;
}

QWidget* ChartCustomizeDialog::buildAxesPage() {
    auto* page = new QWidget;
    auto* group = new QGroupBox(QStringLiteral("Left axis scale"));

    m_leftAutomatic = new QRadioButton(QStringLiteral("A&utomatic"));
    m_leftAutomatic->setObjectName(QStringLiteral("leftScaleAutomatic"));
    m_leftFixed = new QRadioButton(QStringLiteral("&Fixed"));
    m_leftFixed->setObjectName(QStringLiteral("leftScaleFixed"));
    auto* choice = new QButtonGroup(page);
    choice->addButton(m_leftAutomatic);
    choice->addButton(m_leftFixed);

    auto makeLimit = [](const char* name) {
        auto* spin = new QDoubleSpinBox;
        spin->setObjectName(QLatin1String(name));
        spin->setRange(-AxisLimit, AxisLimit);
        spin->setDecimals(2);
        spin->setSuffix(QStringLiteral(" ms"));
        return spin;
    };
    m_leftMinimum = makeLimit("leftMinimum");
    m_leftMaximum = makeLimit("leftMaximum");

    // A fixed scale starts from what the chart shows now.
    double minimum = m_original.leftMin;
    double maximum = m_original.leftMax;
    if (!m_original.leftManual) {
        const double drawn = m_control.leftAxisMaximum();
        if (drawn > minimum)
            maximum = drawn;
    }
    m_leftMinimum->setValue(minimum);
    m_leftMaximum->setValue(maximum);
    (m_original.leftManual ? m_leftFixed : m_leftAutomatic)->setChecked(true);
    m_leftMinimum->setEnabled(m_original.leftManual);
    m_leftMaximum->setEnabled(m_original.leftManual);

    m_leftHint = new QLabel(QStringLiteral("The maximum must be greater than the minimum."));
    m_leftHint->setObjectName(QStringLiteral("leftScaleHint"));
    m_leftHint->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_leftHint->setVisible(false);

    auto* limits = new QFormLayout;
    limits->addRow(buddyLabel(QStringLiteral("Mi&nimum:"), m_leftMinimum), m_leftMinimum);
    limits->addRow(buddyLabel(QStringLiteral("Ma&ximum:"), m_leftMaximum), m_leftMaximum);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_leftAutomatic);
    groupLayout->addWidget(m_leftFixed);
    groupLayout->addLayout(limits);
    groupLayout->addWidget(m_leftHint);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch(1);

    connect(m_leftFixed, &QRadioButton::toggled, this, &ChartCustomizeDialog::applyLeftScale);
    connect(m_leftMinimum, &QDoubleSpinBox::valueChanged, this,
            &ChartCustomizeDialog::applyLeftScale);
    connect(m_leftMaximum, &QDoubleSpinBox::valueChanged, this,
            &ChartCustomizeDialog::applyLeftScale);
    return page;
}

QWidget* ChartCustomizeDialog::buildDisplayPage() {
    auto* page = new QWidget;

    m_plotStyle = new QComboBox;
    m_plotStyle->setObjectName(QStringLiteral("plotStyle"));
    m_plotStyle->addItem(QStringLiteral("Lines"), int(PlotStyle::Lines));
    m_plotStyle->addItem(QStringLiteral("Steps"), int(PlotStyle::Steps));
    m_plotStyle->addItem(QStringLiteral("Points"), int(PlotStyle::Points));
    m_plotStyle->addItem(QStringLiteral("Bars"), int(PlotStyle::Bars));
    selectData(m_plotStyle, int(m_original.plotStyle));

    m_legend = new QComboBox;
    m_legend->setObjectName(QStringLiteral("legendPosition"));
    m_legend->addItem(QStringLiteral("Hidden"), int(LegendPosition::Hidden));
    m_legend->addItem(QStringLiteral("Top"), int(LegendPosition::Top));
    m_legend->addItem(QStringLiteral("Bottom"), int(LegendPosition::Bottom));
    m_legend->addItem(QStringLiteral("Right"), int(LegendPosition::Right));
    selectData(m_legend, int(m_original.legend));

    m_fontSize = new QComboBox;
    m_fontSize->setObjectName(QStringLiteral("fontSize"));
    m_fontSize->addItem(QStringLiteral("Large"), FontLarge);
    m_fontSize->addItem(QStringLiteral("Medium"), FontMedium);
    m_fontSize->addItem(QStringLiteral("Small"), FontSmall);
    selectData(m_fontSize, m_original.fontSize);

    m_gridLines = new QCheckBox(QStringLiteral("&Grid lines"));
    m_gridLines->setObjectName(QStringLiteral("gridLines"));
    m_gridLines->setChecked(m_original.gridLines);

    m_showTable = new QCheckBox(QStringLiteral("Show data ta&ble"));
    m_showTable->setObjectName(QStringLiteral("showTable"));
    m_showTable->setChecked(m_original.tableMode == TableGraphWithTable);

    m_showAnnotations = new QCheckBox(QStringLiteral("Show &reference lines"));
    m_showAnnotations->setObjectName(QStringLiteral("showReferenceLines"));
    m_showAnnotations->setChecked(m_original.showAnnotations);

    m_showShading = new QCheckBox(QStringLiteral("Shade &outages and gaps"));
    m_showShading->setObjectName(QStringLiteral("showShading"));
    m_showShading->setChecked(m_original.showShading);

    // What each bucket's replies look like beyond minimum, maximum and average.
    const LatencyLook& look = m_original.latency;
    const struct {
        QCheckBox** box;
        const char* caption;
        const char* name;
        bool on;
    } latencyBoxes[] = {
        {&m_showMedian, "&Median", "showMedian", look.median},
        {&m_showP95, "&95th percentile", "showP95", look.p95},
        {&m_showBand, "Spread ba&nd (5th\u201395th percentile)", "showSpreadBand", look.band},
        {&m_showJitter, "&Jitter (left axis, ms)", "showJitter", look.jitter},
        {&m_clipSpikes, "Clip spi&kes (scale the left axis to most buckets)", "clipSpikes",
         look.clipSpikes},
    };
    auto* latencyGroup = new QGroupBox(QStringLiteral("Response time spread"));
    auto* latencyLayout = new QVBoxLayout(latencyGroup);
    for (const auto& entry : latencyBoxes) {
        *entry.box = new QCheckBox(QString::fromUtf8(entry.caption));
        (*entry.box)->setObjectName(QLatin1String(entry.name));
        (*entry.box)->setChecked(entry.on);
        latencyLayout->addWidget(*entry.box);
        connect(*entry.box, &QCheckBox::toggled, this, [this] {
            m_control.setLatencyLook({m_showMedian->isChecked(), m_showP95->isChecked(),
                                      m_showBand->isChecked(), m_showJitter->isChecked(),
                                      m_clipSpikes->isChecked()});
        });
    }

    auto* form = new QFormLayout(page);
    form->addRow(buddyLabel(QStringLiteral("&Plot style:"), m_plotStyle), m_plotStyle);
    form->addRow(buddyLabel(QStringLiteral("&Legend:"), m_legend), m_legend);
    form->addRow(buddyLabel(QStringLiteral("Font si&ze:"), m_fontSize), m_fontSize);
    form->addRow(m_gridLines);
    form->addRow(m_showTable);
    form->addRow(m_showAnnotations);
    form->addRow(m_showShading);
    form->addRow(latencyGroup);

    connect(m_plotStyle, &QComboBox::currentIndexChanged, this, [this] {
        m_control.setPlotStyle(static_cast<PlotStyle>(m_plotStyle->currentData().toInt()));
    });
    connect(m_legend, &QComboBox::currentIndexChanged, this, [this] {
        m_control.setLegendPosition(static_cast<LegendPosition>(m_legend->currentData().toInt()));
    });
    connect(m_fontSize, &QComboBox::currentIndexChanged, this,
            [this] { m_control.setFontSize(m_fontSize->currentData().toInt()); });
    connect(m_gridLines, &QCheckBox::toggled, &m_control, &ChartControl::setGridLines);
    connect(m_showTable, &QCheckBox::toggled, this,
            [this](bool on) { m_control.setTableMode(on ? TableGraphWithTable : TableGraphOnly); });
    connect(m_showAnnotations, &QCheckBox::toggled, &m_control, &ChartControl::setShowAnnotations);
    connect(m_showShading, &QCheckBox::toggled, &m_control, &ChartControl::setShowShading);
    return page;
}

bool ChartCustomizeDialog::hasSeries(int series) const {
    return series >= 0 && series < m_control.seriesCount();
}

void ChartCustomizeDialog::chooseSeriesColor(int series) {
    if (!hasSeries(series))
        return;
    // Window-modal and answered through colorSelected, so the chart shows the
    // new color as soon as the chooser closes with OK.
    auto* chooser = new QColorDialog(m_control.seriesColor(series), this);
    chooser->setObjectName(QStringLiteral("seriesColorDialog"));
    chooser->setWindowTitle(
        QStringLiteral("Color of %1").arg(seriesName(m_control.model(), series)));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QColorDialog::colorSelected, this,
            [this, series](const QColor& color) { applySeriesColor(series, color); });
    chooser->open();
}

void ChartCustomizeDialog::applySeriesColor(int series, const QColor& color) {
    if (!hasSeries(series) || !color.isValid())
        return;
    m_control.setSeriesColor(series, color);
    QToolButton* button = m_series[static_cast<std::size_t>(series)].color;
    button->setIcon(swatch(color));
    button->setToolTip(color.name());
}

void ChartCustomizeDialog::applySeriesVisible(int series, bool visible) {
    if (hasSeries(series))
        m_control.setSeriesVisible(series, visible);
}

void ChartCustomizeDialog::applySeriesLine(int series) {
    if (!hasSeries(series))
        return;
    const SeriesRow& row = m_series[static_cast<std::size_t>(series)];
    m_control.setSeriesLine(series, row.width->value(),
                            static_cast<LineType>(row.style->currentData().toInt()));
}

void ChartCustomizeDialog::applyLeftScale() {
    const bool manual = m_leftFixed->isChecked();
    m_leftMinimum->setEnabled(manual);
    m_leftMaximum->setEnabled(manual);
    const bool valid = !manual || m_leftMaximum->value() > m_leftMinimum->value();
    m_leftHint->setVisible(!valid);
    m_ok->setEnabled(valid);
    // An impossible scale never reaches the chart: it keeps the last good one
    // and OK waits until the limits make sense again.
    if (!valid)
        return;
    if (manual) {
        m_control.setLeftAxisScale(true, m_leftMinimum->value(), m_leftMaximum->value());
    } else {
        const ChartModel& model = m_control.model();
        m_control.setLeftAxisScale(false, model.leftMin, model.leftMax);
    }
}

void ChartCustomizeDialog::restoreOriginal() {
    const ChartModel& now = m_control.model();
    ChartModel restored = m_original;
    // Only the look goes back. Data that arrived while the dialog was open
    // (a rebuild, a new run of points) stays on the chart.
    restored.seriesCount = now.seriesCount;
    restored.pointCount = now.pointCount;
    restored.values = now.values;
    restored.missingValue = now.missingValue;
    restored.visiblePointCount = now.visiblePointCount;
    restored.firstVisiblePoint = now.firstVisiblePoint;
    restored.rightAxisSeries = now.rightAxisSeries;
    restored.minutesPerPoint = now.minutesPerPoint;
    restored.pointsPerDay = now.pointsPerDay;
    restored.firstPointTime = now.firstPointTime;
    restored.shading = now.shading;
    restored.availability = now.availability;
    restored.shapes = now.shapes;
    restored.series = now.series;
    for (std::size_t s = 0; s < restored.series.size() && s < m_original.series.size(); ++s) {
        const QString label = restored.series[s].label;
        restored.series[s] = m_original.series[s];
        restored.series[s].label = label;
    }
    if (!(restored == now))
        m_control.setModel(restored);
}

void ChartCustomizeDialog::done(int result) {
    if (result != QDialog::Accepted)
        restoreOriginal();
    QDialog::done(result);
}

} // namespace tarnvue
