#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

class QLabel;

namespace tarnvue {

class MonitorDB;

// The chart control of the main window: one node's response times over a
// span cut into buckets. It holds the span, bucket width, node, database and
// titles it is given and draws them when plotted.
class TarnvueChart : public QWidget {
    Q_OBJECT

public:
    explicit TarnvueChart(QWidget* parent = nullptr);

    // The span and bucket width, as date values. The setters only store.
    double PlotBegin() const { return m_plotBegin; }
    void setPlotBegin(double BeginDate) { m_plotBegin = BeginDate; }
    double PlotEnd() const { return m_plotEnd; }
    void setPlotEnd(double EndDate) { m_plotEnd = EndDate; }
    double PeriodSize() const { return m_periodSize; }
    void setPeriodSize(double TimeFrame) { m_periodSize = TimeFrame; }

    std::int32_t NodeID() const { return m_nodeId; }
    void setNodeID(std::int32_t ID) { m_nodeId = ID; }
    MonitorDB* DB() const { return m_db; }
    void setDB(MonitorDB* Database) { m_db = Database; }

    QString MainTitle() const { return m_mainTitle; }
    void setMainTitle(const QString& title) { m_mainTitle = title; }
    QString SubTitle() const { return m_subTitle; }
    void setSubTitle(const QString& title) { m_subTitle = title; }

    // Buckets of the last plot.
    std::int16_t PointCount() const { return m_pointCount; }

    // Cuts the span into buckets and reads the node's polls for it. Throws
    // Error when the bucket count overflows or the database fails.
    void Plot();

    // Restores a chart from a chart file; false when it cannot.
    bool LoadChart(const QString& FileName);

    // What the control shows in place of a drawing (status and summary).
    QString statusText() const;

private:
    double m_plotBegin = 0;
    double m_plotEnd = 0;
    double m_periodSize = 0;
    std::int32_t m_nodeId = 0;
    MonitorDB* m_db = nullptr;
    QString m_mainTitle;
    QString m_subTitle;
    std::int16_t m_pointCount = 0;
    QLabel* m_status = nullptr;
};

} // namespace tarnvue
