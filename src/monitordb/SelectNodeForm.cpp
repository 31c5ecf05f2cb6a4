#include "SelectNodeForm.h"

#include "MonitorDB.h"
#include "RecordSet.h"
#include "core/BusyCursor.h"
#include "core/Dialogs.h"
#include "core/Error.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace tarnvue {

namespace {

// The dialog's client area and its buttons as designed, in twips.
constexpr int DesignWidthTwips = 6435;
constexpr int DesignHeightTwips = 2970;
constexpr int ButtonWidthTwips = 1215;

// The list never gets so small that fewer entries than this show.
constexpr int MinimumVisibleEntries = 5;
// Entries added to the designed height when the screen has room for them.
constexpr int RoomierExtraEntries = 8;

// The size the user last gave the dialog, for the next time it opens.
QSize& keptSize() {
    static QSize size;
    return size;
}

// Besides the identifier, each entry keeps the name and address it was made
// from, so the filter matches those and not the brackets around them.
constexpr int NodeIdRole = Qt::UserRole;
constexpr int NameRole = Qt::UserRole + 1;
constexpr int AddressRole = Qt::UserRole + 2;

int twipsToPixels(int twips, int dotsPerInch) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dotsPerInch) / 1440.0));
}

struct NodeEntry {
    std::int32_t id = 0;
    QString name;
    QString address;
    QString text;
};

QString entryText(const QString& name, const QString& address) {
    return name + QStringLiteral("  (") + address + QLatin1Char(')');
}

// Case-insensitive order; entries that differ only in case keep a fixed
// order among themselves, and identical entries keep the database's order
// (the sort is stable).
bool entryBefore(const NodeEntry& a, const NodeEntry& b) {
    const int folded = QString::compare(a.text, b.text, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return QString::compare(a.text, b.text, Qt::CaseSensitive) < 0;
}

} // namespace

SelectNodeForm::SelectNodeForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SelectNodeForm"));
    setWindowTitle(QStringLiteral("Build New Chart ..."));
    setModal(true);

    m_nodeLabel = new QLabel(QStringLiteral("&Select Node"), this);
    m_nodeLabel->setObjectName(QStringLiteral("Label1"));

    m_filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    m_filterLabel->setObjectName(QStringLiteral("FilterLabel"));

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("NodeFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Type to filter by name or address"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("NodeList"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Thousands of one-line entries: no need to measure each one.
    m_list->setUniformItemSizes(true);

    m_nodeLabel->setBuddy(m_list);
    m_filterLabel->setBuddy(m_filter);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OK_Button"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Cancel_Button"));
    m_help = new QPushButton(QStringLiteral("Help"), this);
    m_help->setObjectName(QStringLiteral("HelpButton"));

    const int buttonWidth = twipsToPixels(ButtonWidthTwips, logicalDpiX());
    for (QPushButton* button : {m_ok, m_cancel, m_help})
        button->setMinimumWidth(std::max(buttonWidth, button->sizeHint().width()));

    // Room for the whole hint, beside the clear button, whatever the font.
    QStyleOptionFrame filterOption;
    filterOption.initFrom(m_filter);
    filterOption.lineWidth = m_filter->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const QFontMetrics filterMetrics = m_filter->fontMetrics();
    const QSize hintText(filterMetrics.horizontalAdvance(m_filter->placeholderText()) +
                             filterMetrics.height() + 2 * filterMetrics.averageCharWidth(),
                         filterMetrics.height());
    m_filter->setMinimumWidth(
        m_filter->style()
            ->sizeFromContents(QStyle::CT_LineEdit, &filterOption, hintText, m_filter)
            .width());

    const QMargins frame = m_list->contentsMargins();
    m_list->setMinimumHeight(MinimumVisibleEntries * m_list->fontMetrics().lineSpacing() +
                             frame.top() + frame.bottom() + 2 * m_list->frameWidth());

    // The list on the left under its label and the filter, OK and Cancel at
    // the top right, Help at the bottom right.
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(m_filterLabel);
    filterRow->addWidget(m_filter, 1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_nodeLabel, 0, 0, Qt::AlignLeft | Qt::AlignBottom);
    grid->addWidget(m_ok, 0, 1, Qt::AlignTop);
    grid->addLayout(filterRow, 1, 0);
    grid->addWidget(m_cancel, 1, 1, Qt::AlignTop);
    grid->addWidget(m_list, 2, 0, 2, 1);
    grid->addWidget(m_help, 3, 1, Qt::AlignBottom);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);

    // The filter comes first so typing narrows the list at once; Down moves
    // on into the list.
    setTabOrder(m_filter, m_list);
    setTabOrder(m_list, m_ok);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_help);
    m_filter->setFocus();

    connect(m_ok, &QPushButton::clicked, this, &SelectNodeForm::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, &SelectNodeForm::reject);
    connect(m_help, &QPushButton::clicked, this, &SelectNodeForm::helpClicked);
    // F1 asks for the same help as the button.
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, m_help,
            &QPushButton::click);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &SelectNodeForm::entryDoubleClicked);
    connect(m_filter, &QLineEdit::textChanged, this, &SelectNodeForm::applyFilter);

    // The designed size, unless the fonts of this screen need more room;
    // taller where the screen has room, so that a long list shows more
    // nodes. The user may make it larger still.
    const QSize designed(twipsToPixels(DesignWidthTwips, logicalDpiX()),
                         twipsToPixels(DesignHeightTwips, logicalDpiY()));
    setMinimumSize(designed.expandedTo(minimumSizeHint()));
    QSize initial = minimumSize();
    if (const QScreen* shown = screen()) {
        const int line = std::max(1, m_list->fontMetrics().lineSpacing());
        const int room = shown->availableGeometry().height() * 3 / 4 - initial.height();
        initial.rheight() += std::clamp(room / line, 0, RoomierExtraEntries) * line;
    }
    resize(initial);
}

SelectNodeForm::~SelectNodeForm() = default;

std::int32_t SelectNodeForm::SelectNode(QWidget* parent,
                                        const std::function<void(QWidget*)>& onHelp,
                                        std::int32_t currentNodeId) {
    // A dialog of its own for every call, so nothing of an earlier choice
    // (selection, filter, result) is left over.
    QPointer<SelectNodeForm> form = new SelectNodeForm(parent);
    if (onHelp) {
        SelectNodeForm* dialog = form.data();
        connect(dialog, &SelectNodeForm::helpRequested, dialog,
                [dialog, onHelp] { onHelp(dialog); });
    }
    form->m_selectedNodeId = 0;
    if (keptSize().isValid())
        form->resize(keptSize().expandedTo(form->minimumSize()));
    form->LoadNodeList();
    // The parent (and the dialog with it) may go while a message box or the
    // dialog itself is open.
    if (!form)
        return 0;
    form->selectNode(currentNodeId);
    const int result = form->exec();
    if (!form)
        return 0;
    keptSize() = form->size();
    const std::int32_t nodeId = result == QDialog::Accepted ? form->SelectedNodeID() : 0;
    delete form.data();
    return nodeId;
}

void SelectNodeForm::LoadNodeList() {
    m_list->clear();

    std::vector<NodeEntry> entries;
    std::optional<QString> failure;
    {
        const BusyCursor busy;
        try {
            MonitorDB& db = MonitorDB::shared();
            if (!db.isOpen())
                db.open();
            for (auto nodes = db.allNodes(); !nodes->atEnd(); nodes->moveNext()) {
                NodeEntry entry;
                entry.id = nodes->int32(QStringLiteral("Node ID"));
                entry.name = nodes->text(QStringLiteral("Node Name"));
                entry.address = nodes->text(QStringLiteral("IP Address"));
                entry.text = entryText(entry.name, entry.address);
                entries.push_back(std::move(entry));
            }
        } catch (const Error& e) {
            failure = failureText(QStringLiteral("Cannot load node list."), e.description());
        }

        // Whatever was read before a failure is still worth choosing from.
        std::stable_sort(entries.begin(), entries.end(), entryBefore);
        for (const NodeEntry& entry : entries) {
            auto* item = new QListWidgetItem(entry.text);
            item->setData(NodeIdRole, QVariant::fromValue<std::int32_t>(entry.id));
            item->setData(NameRole, entry.name);
            item->setData(AddressRole, entry.address);
            m_list->addItem(item);
        }
        applyFilter();
    }

    if (failure)
        showExclamation(this, *failure);
}

void SelectNodeForm::reject() {
    m_selectedNodeId = 0;
    QDialog::reject();
}

bool SelectNodeForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_filter && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        focusList();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SelectNodeForm::okClicked() {
    const QListWidgetItem* entry = chosenEntry();
    m_selectedNodeId = entry ? entry->data(NodeIdRole).value<std::int32_t>() : 0;
    accept();
}

void SelectNodeForm::entryDoubleClicked(QListWidgetItem* item) {
    if (!item || item->isHidden())
        return;
    m_list->setCurrentItem(item);
    okClicked();
}

void SelectNodeForm::helpClicked() {
    const BusyCursor busy;
    emit helpRequested();
}

void SelectNodeForm::applyFilter() {
    const QString filter = m_filter->text().trimmed();
    int shown = 0;
    QListWidgetItem* lastShown = nullptr;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        const bool matches =
            filter.isEmpty() ||
            item->data(NameRole).toString().contains(filter, Qt::CaseInsensitive) ||
            item->data(AddressRole).toString().contains(filter, Qt::CaseInsensitive);
        item->setHidden(!matches);
        if (matches) {
            ++shown;
            lastShown = item;
        }
    }

    // A hidden entry can be neither chosen nor the starting point of the
    // arrow keys.
    for (QListWidgetItem* item : m_list->selectedItems()) {
        if (item->isHidden())
            item->setSelected(false);
    }
    if (const QListWidgetItem* current = m_list->currentItem(); current && current->isHidden())
        m_list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);

    // One match left: Enter takes it.
    if (shown == 1)
        m_list->setCurrentItem(lastShown);

    if (QListWidgetItem* current = m_list->currentItem())
        m_list->scrollToItem(current);
}

void SelectNodeForm::selectNode(std::int32_t nodeId) {
    if (nodeId < 1)
        return;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        if (!item->isHidden() && item->data(NodeIdRole).value<std::int32_t>() == nodeId) {
            m_list->setCurrentItem(item);
            m_list->scrollToItem(item, QAbstractItemView::PositionAtCenter);
            return;
        }
    }
}

QListWidgetItem* SelectNodeForm::chosenEntry() const {
    for (QListWidgetItem* item : m_list->selectedItems()) {
        if (!item->isHidden())
            return item;
    }
    return nullptr;
}

void SelectNodeForm::focusList() {
    m_list->setFocus(Qt::TabFocusReason);
    if (chosenEntry())
        return;
    for (int row = 0; row < m_list->count(); ++row) {
        if (!m_list->item(row)->isHidden()) {
            m_list->setCurrentItem(m_list->item(row));
            return;
        }
    }
}

} // namespace tarnvue
