#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarnvue {

class TarnvueChart;

// "Custom Chart Period": any span with any bucket width of the ladder, kept
// between 2 and 3000 buckets. It starts from the chart's span and width; OK
// checks what was typed (in the user's date and time order) and, when it
// holds, gives the chart the new span and width and closes. The caller then
// rebuilds the chart as a custom period.
class CustomPeriodForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int HelpContextId = 6300;

    explicit CustomPeriodForm(TarnvueChart& chart, QWidget* parent = nullptr);

    QLineEdit* StartDate() const { return m_start; }
    QLineEdit* EndDate() const { return m_end; }
    QComboBox* Units() const { return m_units; }

    // Checks the fields; on success applies them to the chart and closes the
    // dialog with Accepted. On failure reports it, focuses the field to
    // correct and returns false with the dialog still open.
    bool OK_Button_Click();

signals:
    void helpRequested();

private:
    TarnvueChart& m_chart;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_end = nullptr;
    QComboBox* m_units = nullptr;
};

} // namespace tarnvue
