#include "CustomPeriodForm.h"

#include "CustomSpan.h"
#include "DateText.h"
#include "SampleSizes.h"
#include "TarnvueChart.h"
#include "core/BusyCursor.h"
#include "core/Clock.h"
#include "core/DateValue.h"
#include "core/Dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tarnvue {

CustomPeriodForm::CustomPeriodForm(TarnvueChart& chart, QWidget* parent)
    : QDialog(parent), m_chart(chart), m_start(new QLineEdit(this)), m_end(new QLineEdit(this)),
      m_units(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Custom Chart Period"));
    setObjectName(QStringLiteral("CustomPeriodForm"));
    m_start->setObjectName(QStringLiteral("StartDate"));
    m_end->setObjectName(QStringLiteral("EndDate"));
    m_units->setObjectName(QStringLiteral("Units"));

    const QLocale locale;
    const QString hint = dateTimeFormat(locale);
    m_start->setPlaceholderText(hint);
    m_end->setPlaceholderText(hint);
    m_start->setToolTip(
        QStringLiteral("A date and time (%1), or a time alone for today").arg(hint));
    m_end->setToolTip(m_start->toolTip());

    auto* form = new QFormLayout;
    auto* startLabel = new QLabel(QStringLiteral("&Start Date / Time"), this);
    startLabel->setObjectName(QStringLiteral("Label1"));
    startLabel->setBuddy(m_start);
    auto* endLabel = new QLabel(QStringLiteral("&Ending Date / Time"), this);
    endLabel->setObjectName(QStringLiteral("Label2"));
    endLabel->setBuddy(m_end);
    auto* unitsLabel = new QLabel(QStringLiteral("&Generate Sample"), this);
    unitsLabel->setObjectName(QStringLiteral("Label3"));
    unitsLabel->setBuddy(m_units);
    form->addRow(startLabel, m_start);
    form->addRow(endLabel, m_end);
    form->addRow(unitsLabel, m_units);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OK_Button"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("Cancel_Button"));
    QPushButton* help = buttons->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("HelpButton"));
    connect(ok, &QPushButton::clicked, this, &CustomPeriodForm::OK_Button_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        const BusyCursor busy;
        emit helpRequested();
    });
    // F1 asks for the same help as the button.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, help,
            &QPushButton::click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_start->setMinimumWidth(
        m_start->fontMetrics().horizontalAdvance(hint + QStringLiteral("0000")));

    // Filled from the chart: its span, and its width when that is on the ladder.
    for (int i = 1; i <= SampleSizeCount(); ++i)
        m_units->addItem(SampleSizes(i).Name, int(SampleSizes(i).Minutes));
    m_start->setText(formatDateTime(chart.PlotBegin(), locale));
    m_end->setText(formatDateTime(chart.PlotEnd(), locale));
    m_units->setCurrentIndex(m_units->findData(int(DateValue::wholeMinutes(chart.PeriodSize()))));
}

bool CustomPeriodForm::OK_Button_Click() {
    const QLocale locale;
    const QDate today = currentDateTime().date();

    // What to type, for the messages below.
    const QString accepted =
        QStringLiteral("\rType a date and time as %1, or a time alone for today.")
            .arg(dateTimeFormat(locale));
    const auto start = parseDateTime(m_start->text(), locale, today);
    if (!start) {
        showExclamation(this, QStringLiteral("Invalid Start Date / Time") + accepted);
        m_start->setFocus();
        return false;
    }
    m_start->setText(formatDateTime(*start, locale));

    const auto end = parseDateTime(m_end->text(), locale, today);
    if (!end) {
        showExclamation(this, QStringLiteral("Invalid End Date / Time") + accepted);
        m_end->setFocus();
        return false;
    }
    m_end->setText(formatDateTime(*end, locale));

    // No width selected counts no samples.
    const int minutes = m_units->currentIndex() < 0 ? 0 : m_units->currentData().toInt();
    std::int32_t count = 0;
    try {
        count = customSampleCount(*start, *end, minutes);
    } catch (const std::exception&) {
        count = MaximumSamples + 1; // beyond any count a chart can hold
    }
    const SampleCountCheck check = checkSampleCount(count);
    if (check != SampleCountCheck::Fine) {
        showExclamation(this, sampleCountMessage(check, *start, *end));
        m_units->setFocus();
        return false;
    }

    // The span as shown, to the minute.
    m_chart.setPlotBegin(*parseDateTime(m_start->text(), locale, today));
    m_chart.setPlotEnd(*parseDateTime(m_end->text(), locale, today));
    m_chart.setPeriodSize(DateValue::fromMinutes(minutes));
    accept();
    return true;
}

} // namespace tarnvue
