#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tarnvue {

// "Build New Chart ...": picks the node whose chart the main window builds
// next. The list shows every node of the monitor database as "name  (address)",
// sorted by that text without regard to case; the filter box above it hides
// the entries whose name and address both lack the typed text. OK (or Enter,
// or a double-click) takes the selected entry; Cancel, Esc and the close box
// take nothing.
//
// Widgets carry object names for tests: "Label1", "FilterLabel", "NodeFilter",
// "NodeList", "OK_Button", "Cancel_Button", "HelpButton". Each entry keeps its
// node's identifier in Qt::UserRole as a 32-bit integer.
class SelectNodeForm : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int helpContextId READ helpContextId CONSTANT)

public:
    static constexpr int HelpContextId = 6300;

    explicit SelectNodeForm(QWidget* parent = nullptr);
    ~SelectNodeForm() override;

    // Shows a fresh dialog modally over the parent and returns the chosen
    // node's identifier, or 0 when the user chose nothing or cancelled.
    // onHelp, when given, answers the dialog's Help button. The node on view
    // (currentNodeId) starts selected; the dialog opens at the size the user
    // last gave it.
    static std::int32_t SelectNode(QWidget* parent,
                                   const std::function<void(QWidget*)>& onHelp = {},
                                   std::int32_t currentNodeId = 0);

    // Selects and shows the entry of a node, if it is listed.
    void selectNode(std::int32_t nodeId);

    // The node taken by OK or a double-click; 0 until then, and 0 again after
    // a cancel.
    std::int32_t SelectedNodeID() const { return m_selectedNodeId; }

    // Fills the list from the monitor database, opening the shared connection
    // when it is not open (a missing database is never created). A failure is
    // reported in a message box; the entries read before it stay in the list.
    void LoadNodeList();

    int helpContextId() const { return HelpContextId; }

    void reject() override;

signals:
    // The Help button was pressed; the dialog stays open.
    void helpRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void okClicked();
    void entryDoubleClicked(QListWidgetItem* item);
    void helpClicked();
    void applyFilter();
    // The selected entry, if it is shown.
    QListWidgetItem* chosenEntry() const;
    void focusList();

    QLabel* m_nodeLabel = nullptr;
    QLabel* m_filterLabel = nullptr;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_help = nullptr;
    std::int32_t m_selectedNodeId = 0;
};

} // namespace tarnvue
