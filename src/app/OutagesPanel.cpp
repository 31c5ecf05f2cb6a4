#include "OutagesPanel.h"

#include "chart/Outages.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarnvue {

namespace {

constexpr int StartRole = Qt::UserRole;
constexpr int EndRole = Qt::UserRole + 1;

} // namespace

OutagesPanel::OutagesPanel(QWidget* parent)
    : QDockWidget(QStringLiteral("Outages"), parent), m_summary(new QLabel),
      m_list(new QTreeWidget) {
    setObjectName(QStringLiteral("OutagesPanel"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_list->setObjectName(QStringLiteral("OutageList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Start"), QStringLiteral("End"),
                             QStringLiteral("Duration"), QStringLiteral("Lost polls")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_summary);
    layout->addWidget(m_list, 1);
    setWidget(body);
    // A click, Enter and a double-click all show the stretch.
    connect(m_list, &QTreeWidget::itemClicked, this, &OutagesPanel::choose);
    connect(m_list, &QTreeWidget::itemActivated, this, &OutagesPanel::choose);
    clear();
}

void OutagesPanel::clear() {
    m_list->clear();
    m_summary->setText(QStringLiteral("Outages are listed for a node chart."));
}

void OutagesPanel::showReport(const OutageReport& report) {
    m_list->clear();
    const int outages = report.outageCount();
    m_summary->setText(QStringLiteral("Availability: %1\n%2 outage%3, %4 down")
                           .arg(availabilityText(report))
                           .arg(outages)
                           .arg(outages == 1 ? QString() : QStringLiteral("s"))
                           .arg(durationText(report.downtimeSeconds())));
    for (const OutageItem& item : report.items) {
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, outageKindText(item.kind));
        row->setText(1, DateValue::stampText(item.start));
        row->setText(2, item.end ? DateValue::stampText(*item.end) : QStringLiteral("going on"));
        row->setText(3, durationText(item.seconds));
        row->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        if (item.kind == OutageItem::Outage) {
            row->setText(4, QString::number(item.lostPolls));
            row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        }
        // A stretch still going on runs to its last lost poll.
        row->setData(0, StartRole, item.start);
        row->setData(0, EndRole,
                     item.start + static_cast<double>(item.seconds) / DateValue::SecondsPerDay);
    }
}

QSize OutagesPanel::sizeHint() const {
    // Two outages' worth of text for an empty list, so that the panel does
    // not change its width when the first chart fills it.
    static const QStringList Widest = {QStringLiteral("no data"),
                                       QStringLiteral("2026-12-31 23:59:59"),
                                       QStringLiteral("2026-12-31 23:59:59"),
                                       QStringLiteral("23 h 59 min 59 s"), QStringLiteral("1000")};
    const QFontMetrics metrics(m_list->font());
    const QHeaderView* header = m_list->header();
    int columns = 0;
    for (int c = 0; c < m_list->columnCount(); ++c)
        columns += std::max({header->sectionSizeHint(c), header->sectionSize(c),
                             metrics.horizontalAdvance(Widest.value(c)) + 12});
    const int frame = 2 * m_list->frameWidth() + m_list->verticalScrollBar()->sizeHint().width();
    const QMargins margins = widget()->layout()->contentsMargins();
    QSize hint = QDockWidget::sizeHint();
    hint.setWidth(columns + frame + margins.left() + margins.right() + 4);
    return hint;
}

void OutagesPanel::choose() {
    const QTreeWidgetItem* row = m_list->currentItem();
    if (!row)
        return;
    emit stretchChosen(row->data(0, StartRole).toDouble(), row->data(0, EndRole).toDouble());
}

} // namespace tarnvue
