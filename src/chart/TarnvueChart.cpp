#include "TarnvueChart.h"

#include "core/DateValue.h"
#include "core/Error.h"
#include "core/Numeric.h"
#include "monitordb/MonitorDB.h"

#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace tarnvue {

TarnvueChart::TarnvueChart(QWidget* parent) : QWidget(parent), m_status(new QLabel(this))
{
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_status);
}

void TarnvueChart::Plot()
{
    if (!m_db)
        throw Error(QStringLiteral("The chart has no database."));
    m_pointCount = toInt16((m_plotEnd - m_plotBegin) / m_periodSize);
    m_status->setText(QStringLiteral("Generating Chart ..."));

    auto samples = m_db->samples(m_nodeId, m_plotBegin, m_plotEnd);
    Sample sample;
    qint64 polls = 0;
    while (samples->next(sample))
        ++polls;

    const QLocale locale;
    m_status->setText(
        QStringLiteral("%1\n%2\n%3 to %4\n%5 polls in %6 buckets")
            .arg(m_mainTitle, m_subTitle,
                 locale.toString(DateValue::toDateTime(m_plotBegin), QLocale::ShortFormat),
                 locale.toString(DateValue::toDateTime(m_plotEnd), QLocale::ShortFormat))
            .arg(polls)
            .arg(m_pointCount));
}

bool TarnvueChart::LoadChart(const QString& FileName)
{
    // Chart files are not readable yet: every load fails the way an unreadable
    // file does.
    m_status->setText(QStringLiteral("Cannot load ") + FileName);
    return false;
}

QString TarnvueChart::statusText() const { return m_status->text(); }

} // namespace tarnvue
