#pragma once

#include <QDockWidget>

class QLabel;
class QTreeWidget;

namespace tarnvue {

struct OutageReport;

// The dock beside the chart that lists a node's outages and stretches without
// data with the availability and the totals above them. Choosing a row (a
// click, Enter or a double-click) asks for the chart to show that stretch.
class OutagesPanel : public QDockWidget {
    Q_OBJECT

public:
    explicit OutagesPanel(QWidget* parent = nullptr);

    // The list of a node chart, or nothing (an empty window, a chart file).
    void showReport(const OutageReport& report);
    void clear();
    // Wide enough for the list's columns, filled or not.
    QSize sizeHint() const override;

    QLabel* summary() const { return m_summary; }
    QTreeWidget* list() const { return m_list; }

signals:
    void stretchChosen(double start, double end);

private:
    void choose();

    QLabel* m_summary;
    QTreeWidget* m_list;
};

} // namespace tarnvue
