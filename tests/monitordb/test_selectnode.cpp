#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SelectNodeForm.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <sqlite3.h>

using namespace tarnvue;

// One Nodes row: Node ID, Node Name, IP Address (null where the QVariant is).
using NodeRows = QList<QVariantList>;

namespace {

void writeNodes(const NodeRows& rows) {
    test::TestDatabase db(MonitorDB::databasePath());
    for (const QVariantList& row : rows)
        db.addNode(row.at(0), row.at(1), row.at(2));
}

// Four nodes stored out of order and in mixed case.
NodeRows standardNodes() {
    return {{1, QStringLiteral("alpha"), QStringLiteral("10.0.0.1")},
            {2, QStringLiteral("Bravo"), QStringLiteral("10.0.0.2")},
            {3, QStringLiteral("charlie"), QStringLiteral("10.0.0.3")},
            {4, QStringLiteral("beta"), QStringLiteral("192.168.7.4")}};
}

template <typename T> T* child(const QWidget& form, const char* name) {
    T* widget = form.findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

QListWidget* listOf(const QWidget& form) {
    return child<QListWidget>(form, "NodeList");
}
QLineEdit* filterOf(const QWidget& form) {
    return child<QLineEdit>(form, "NodeFilter");
}

QStringList entries(const QListWidget& list, bool shownOnly) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) {
        if (!shownOnly || !list.item(row)->isHidden())
            texts << list.item(row)->text();
    }
    return texts;
}

QList<int> entryIds(const QListWidget& list) {
    QList<int> ids;
    for (int row = 0; row < list.count(); ++row)
        ids << list.item(row)->data(Qt::UserRole).toInt();
    return ids;
}

QListWidgetItem* entry(const QListWidget& list, const QString& text) {
    const auto found = list.findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

QPoint entryCentre(QListWidget& list, QListWidgetItem* item) {
    list.scrollToItem(item);
    return list.visualItemRect(item).center();
}

void clickEntry(QListWidget& list, QListWidgetItem* item) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, entryCentre(list, item));
}

// What a window system delivers for a double-click: press, release, double
// click, release.
void doubleClickAt(QListWidget& list, const QPoint& position) {
    QWidget* viewport = list.viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, position);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, position);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, position);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, position);
}

// Shows the form and makes it the active window, so keys reach its focus
// widget and its access keys work.
bool showActive(QWidget& form) {
    form.show();
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form);
}

// Answers the next "Build New Chart" dialog once it runs modally. Should the
// answer leave it open it is rejected at once; should it never get an answer
// a fallback rejects whatever modal dialog is up. Either way the test fails
// instead of hanging.
class ModalAnswer {
public:
    using Answer = std::function<void(SelectNodeForm&)>;

    explicit ModalAnswer(Answer answer) : m_answer(std::move(answer)) {
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] { tryAnswer(); });
        m_poll.start(10);
        m_fallback.setSingleShot(true);
        QObject::connect(&m_fallback, &QTimer::timeout, &m_fallback, [this] { giveUp(); });
        m_fallback.start(30000);
    }

    bool answered() const { return m_answered; }
    bool leftOpen() const { return m_leftOpen; }
    bool gaveUp() const { return m_gaveUp; }

private:
    void tryAnswer() {
        QPointer<SelectNodeForm> form =
            qobject_cast<SelectNodeForm*>(QApplication::activeModalWidget());
        if (!form)
            return;
        m_poll.stop();
        m_answered = true;
        m_answer(*form);
        if (form && form->isVisible()) {
            m_leftOpen = true;
            form->reject();
        }
    }

    void giveUp() {
        m_poll.stop();
        m_gaveUp = true;
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    }

    Answer m_answer;
    QTimer m_poll;
    QTimer m_fallback;
    bool m_answered = false;
    bool m_leftOpen = false;
    bool m_gaveUp = false;
};

// How a test ends the dialog.
enum class Ending {
    ClickOk,
    ClickCancel,
    CloseBox,
    EscapeInList,
    ReturnInList,
    DownAndReturnInList,
    DoubleClickEntry,
    DoubleClickBelowEntries,
    ReturnInFilter,
    EscapeInFilter,
    DownAndReturnInFilter,
};

enum class Broken { NotADatabase, Missing, NullNodeId, NoNodesTable };

constexpr int StillOpen = -1;

} // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(Broken)

class TestSelectNode : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        // No dialog of one test may linger into the next.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<SelectNodeForm*>(widget))
                delete widget;
        }
        MonitorDB::release();
    }

    void entriesAndOrder_data() {
        QTest::addColumn<NodeRows>("nodes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QList<int>>("ids");

        QTest::newRow("sorted without regard to case")
            << standardNodes()
            << QStringList{QStringLiteral("alpha  (10.0.0.1)"),
                           QStringLiteral("beta  (192.168.7.4)"),
                           QStringLiteral("Bravo  (10.0.0.2)"),
                           QStringLiteral("charlie  (10.0.0.3)")}
            << QList<int>{1, 4, 2, 3};
        QTest::newRow("null and empty names and addresses")
            << NodeRows{{5, QVariant(), QStringLiteral("10.0.0.5")},
                        {6, QStringLiteral("no-address"), QVariant()},
                        {7, QString(""), QString("")}}
            << QStringList{QStringLiteral("  ()"), QStringLiteral("  (10.0.0.5)"),
                           QStringLiteral("no-address  ()")}
            << QList<int>{7, 5, 6};
        QTest::newRow("entries equal but for case keep a fixed order")
            << NodeRows{{1, QStringLiteral("delta"), QStringLiteral("x")},
                        {2, QStringLiteral("Delta"), QStringLiteral("x")},
                        {3, QStringLiteral("delta"), QStringLiteral("x")},
                        {4, QStringLiteral("DELTA"), QStringLiteral("x")}}
            << QStringList{QStringLiteral("DELTA  (x)"), QStringLiteral("Delta  (x)"),
                           QStringLiteral("delta  (x)"), QStringLiteral("delta  (x)")}
            << QList<int>{4, 2, 1, 3};
        QTest::newRow("the address is sorted as text")
            << NodeRows{{1, QStringLiteral("edge"), QStringLiteral("10.0.0.2")},
                        {2, QStringLiteral("edge"), QStringLiteral("10.0.0.10")}}
            << QStringList{QStringLiteral("edge  (10.0.0.10)"), QStringLiteral("edge  (10.0.0.2)")}
            << QList<int>{2, 1};
        QTest::newRow("identifiers at the ends of the 32-bit range")
            << NodeRows{{2147483647LL, QStringLiteral("max"), QStringLiteral("a")},
                        {-2147483647LL - 1, QStringLiteral("min"), QStringLiteral("b")}}
            << QStringList{QStringLiteral("max  (a)"), QStringLiteral("min  (b)")}
            << QList<int>{2147483647, -2147483647 - 1};
    }
    void entriesAndOrder() {
        QFETCH(NodeRows, nodes);
        QFETCH(QStringList, expected);
        QFETCH(QList<int>, ids);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(nodes);

        SelectNodeForm form;
        form.LoadNodeList();
        // Loading again replaces the entries rather than adding to them.
        form.LoadNodeList();
        const QListWidget* list = listOf(form);
        QCOMPARE(entries(*list, false), expected);
        QCOMPARE(entryIds(*list), ids);
        for (int row = 0; row < list->count(); ++row)
            QCOMPARE(list->item(row)->data(Qt::UserRole).typeId(), QMetaType::Int);
        QCOMPARE(rec->texts(), QStringList());
        QCOMPARE(form.SelectedNodeID(), 0);
    }

    void emptyNodesTable() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes({});

        SelectNodeForm form;
        form.LoadNodeList();
        QCOMPARE(listOf(form)->count(), 0);
        QCOMPARE(rec->texts(), QStringList());
        QVERIFY(showActive(form));
        QTest::mouseClick(child<QPushButton>(form, "OK_Button"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.SelectedNodeID(), 0);
    }

    void loadFailures_data() {
        QTest::addColumn<Broken>("broken");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("reason");

        QTest::newRow("a file that is not a database")
            << Broken::NotADatabase << QStringList() << QStringLiteral("not a monitor database");
        QTest::newRow("no database")
            << Broken::Missing << QStringList() << QStringLiteral("No monitor database was found");
        QTest::newRow("a null Node ID after two good rows")
            << Broken::NullNodeId
            << QStringList{QStringLiteral("alpha  (10.0.0.1)"), QStringLiteral("Bravo  (10.0.0.2)")}
            << QStringLiteral("Invalid use of Null");
        QTest::newRow("no Nodes table")
            << Broken::NoNodesTable << QStringList() << QStringLiteral("Nodes");
    }
    void loadFailures() {
        QFETCH(Broken, broken);
        QFETCH(QStringList, kept);
        QFETCH(QString, reason);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        const QString path = MonitorDB::databasePath();

        switch (broken) {
        case Broken::NotADatabase: {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("this is not a database");
            break;
        }
        case Broken::Missing:
            break;
        case Broken::NullNodeId:
            // The row after the broken one is never read.
            writeNodes({{2, QStringLiteral("Bravo"), QStringLiteral("10.0.0.2")},
                        {1, QStringLiteral("alpha"), QStringLiteral("10.0.0.1")},
                        {QVariant(), QStringLiteral("broken"), QStringLiteral("10.0.0.9")},
                        {3, QStringLiteral("charlie"), QStringLiteral("10.0.0.3")}});
            break;
        case Broken::NoNodesTable: {
            writeNodes(standardNodes());
            sqlite3* db = nullptr;
            QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
            const int rc = sqlite3_exec(db, "DROP TABLE Nodes", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            QCOMPARE(rc, SQLITE_OK);
            break;
        }
        }

        SelectNodeForm form;
        form.LoadNodeList();
        QCOMPARE(entries(*listOf(form), false), kept);
        QCOMPARE(rec->messages.size(), 1);
        const auto& message = rec->messages.first();
        QCOMPARE(message.icon, MessageIcon::Exclamation);
        const QString sentence = QStringLiteral("Cannot load node list.\r\n");
        QVERIFY2(message.text.startsWith(sentence), qPrintable(message.text));
        QVERIFY2(message.text.size() > sentence.size(), qPrintable(message.text));
        QVERIFY2(message.text.contains(reason), qPrintable(message.text));
        // Loading never creates a missing database.
        if (broken == Broken::Missing)
            QVERIFY(!QFile::exists(path));
        // The form is still usable: whatever was kept can be chosen.
        if (!kept.isEmpty()) {
            listOf(form)->setCurrentItem(entry(*listOf(form), kept.last()));
            QTest::mouseClick(child<QPushButton>(form, "OK_Button"), Qt::LeftButton);
            QCOMPARE(form.SelectedNodeID(), 2);
        }
    }

    void choosing_data() {
        QTest::addColumn<QString>("selected"); // clicked before anything else
        QTest::addColumn<QString>("typed");    // into the filter, after that
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<QString>("target"); // the entry an ending double-clicks
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("nodeId");

        const QString alpha = QStringLiteral("alpha  (10.0.0.1)");
        const QString bravo = QStringLiteral("Bravo  (10.0.0.2)");
        const QString charlie = QStringLiteral("charlie  (10.0.0.3)");
        const int accepted = QDialog::Accepted;
        const int rejected = QDialog::Rejected;

        QTest::newRow("OK with nothing selected")
            << QString() << QString() << Ending::ClickOk << QString() << accepted << 0;
        QTest::newRow("OK on a selected entry")
            << bravo << QString() << Ending::ClickOk << QString() << accepted << 2;
        QTest::newRow("double-click on an entry")
            << alpha << QString() << Ending::DoubleClickEntry << charlie << accepted << 3;
        QTest::newRow("double-click below the entries leaves the dialog open")
            << bravo << QString() << Ending::DoubleClickBelowEntries << QString() << StillOpen << 0;
        QTest::newRow("Enter in the list")
            << charlie << QString() << Ending::ReturnInList << QString() << accepted << 3;
        QTest::newRow("Down then Enter in the list")
            << alpha << QString() << Ending::DownAndReturnInList << QString() << accepted << 4;
        QTest::newRow("Cancel with an entry selected")
            << bravo << QString() << Ending::ClickCancel << QString() << rejected << 0;
        QTest::newRow("Esc with an entry selected")
            << bravo << QString() << Ending::EscapeInList << QString() << rejected << 0;
        QTest::newRow("close box with an entry selected")
            << bravo << QString() << Ending::CloseBox << QString() << rejected << 0;
        QTest::newRow("Enter in the filter with one match")
            << QString() << QStringLiteral("CHAR") << Ending::ReturnInFilter << QString()
            << accepted << 3;
        QTest::newRow("Enter in the filter with one address match")
            << alpha << QStringLiteral("192.168") << Ending::ReturnInFilter << QString() << accepted
            << 4;
        QTest::newRow("Enter in the filter with several matches and none selected")
            << QString() << QStringLiteral("a") << Ending::ReturnInFilter << QString() << accepted
            << 0;
        QTest::newRow("Enter in the filter keeps a selection that still shows")
            << bravo << QStringLiteral("b") << Ending::ReturnInFilter << QString() << accepted << 2;
        QTest::newRow("a selection the filter hides is not taken")
            << alpha << QStringLiteral("b") << Ending::ClickOk << QString() << accepted << 0;
        QTest::newRow("Down in the filter takes the first shown entry")
            << QString() << QStringLiteral("b") << Ending::DownAndReturnInFilter << QString()
            << accepted << 4;
        QTest::newRow("Esc in the filter") << bravo << QStringLiteral("bra")
                                           << Ending::EscapeInFilter << QString() << rejected << 0;
    }
    void choosing() {
        QFETCH(QString, selected);
        QFETCH(QString, typed);
        QFETCH(Ending, ending);
        QFETCH(QString, target);
        QFETCH(int, result);
        QFETCH(int, nodeId);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());

        SelectNodeForm form;
        form.LoadNodeList();
        QVERIFY(showActive(form));
        QSignalSpy finished(&form, &QDialog::finished);
        QListWidget* list = listOf(form);
        QLineEdit* filter = filterOf(form);

        if (!selected.isEmpty()) {
            QListWidgetItem* item = entry(*list, selected);
            QVERIFY(item);
            clickEntry(*list, item);
            QCOMPARE(list->selectedItems(), QList<QListWidgetItem*>{item});
        }
        if (!typed.isEmpty()) {
            filter->setFocus();
            QTest::keyClicks(filter, typed);
            QCOMPARE(filter->text(), typed);
        }

        switch (ending) {
        case Ending::ClickOk:
            QTest::mouseClick(child<QPushButton>(form, "OK_Button"), Qt::LeftButton);
            break;
        case Ending::ClickCancel:
            QTest::mouseClick(child<QPushButton>(form, "Cancel_Button"), Qt::LeftButton);
            break;
        case Ending::CloseBox:
            form.close();
            break;
        case Ending::EscapeInList:
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Escape);
            break;
        case Ending::ReturnInList:
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Return);
            break;
        case Ending::DownAndReturnInList:
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
            break;
        case Ending::DoubleClickEntry: {
            QListWidgetItem* item = entry(*list, target);
            QVERIFY(item);
            doubleClickAt(*list, entryCentre(*list, item));
            break;
        }
        case Ending::DoubleClickBelowEntries: {
            const QRect last = list->visualItemRect(list->item(list->count() - 1));
            const QPoint below(last.center().x(), last.bottom() + last.height());
            QVERIFY(list->viewport()->rect().contains(below));
            doubleClickAt(*list, below);
            break;
        }
        case Ending::ReturnInFilter:
            filter->setFocus();
            QTest::keyClick(filter, Qt::Key_Return);
            break;
        case Ending::EscapeInFilter:
            filter->setFocus();
            QTest::keyClick(filter, Qt::Key_Escape);
            break;
        case Ending::DownAndReturnInFilter:
            filter->setFocus();
            QTest::keyClick(filter, Qt::Key_Down);
            QCOMPARE(QApplication::focusWidget(), list);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            break;
        }

        if (result == StillOpen) {
            QVERIFY(form.isVisible());
            QCOMPARE(finished.size(), 0);
        } else {
            QVERIFY(!form.isVisible());
            QCOMPARE(finished.size(), 1);
            QCOMPARE(finished.first().first().toInt(), result);
        }
        QCOMPARE(form.SelectedNodeID(), nodeId);
        QCOMPARE(rec->texts(), QStringList());
    }

    void filtering_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");

        const QString nameless = QStringLiteral("  (10.9.9.9)");
        const QString alpha = QStringLiteral("alpha  (10.0.0.1)");
        const QString beta = QStringLiteral("beta  (192.168.7.4)");
        const QString bravo = QStringLiteral("Bravo  (10.0.0.2)");
        const QString charlie = QStringLiteral("charlie  (10.0.0.3)");
        const QString gateway = QStringLiteral("Gateway  (FE80::1A)");
        const QStringList all{nameless, alpha, beta, bravo, charlie, gateway};

        QTest::newRow("nothing typed") << QString() << all;
        QTest::newRow("name, other case") << QStringLiteral("BRA") << QStringList{bravo};
        QTest::newRow("middle of a name") << QStringLiteral("et") << QStringList{beta};
        QTest::newRow("address") << QStringLiteral("192.168") << QStringList{beta};
        QTest::newRow("address, other case") << QStringLiteral("fe80::1a") << QStringList{gateway};
        QTest::newRow("address shared by several")
            << QStringLiteral("10.0.0") << QStringList{alpha, bravo, charlie};
        QTest::newRow("name or address")
            << QStringLiteral("a") << QStringList{alpha, beta, bravo, charlie, gateway};
        QTest::newRow("node without a name") << QStringLiteral("10.9") << QStringList{nameless};
        QTest::newRow("blanks around the text") << QStringLiteral("  beta ") << QStringList{beta};
        QTest::newRow("only blanks") << QStringLiteral("   ") << all;
        QTest::newRow("brackets of the entry text") << QStringLiteral("(") << QStringList();
        QTest::newRow("name and address together") << QStringLiteral("alpha  (10") << QStringList();
        QTest::newRow("no match") << QStringLiteral("zzz") << QStringList();
    }
    void filtering() {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        NodeRows nodes = standardNodes();
        nodes << QVariantList{5, QStringLiteral("Gateway"), QStringLiteral("FE80::1A")}
              << QVariantList{6, QVariant(), QStringLiteral("10.9.9.9")};
        writeNodes(nodes);

        SelectNodeForm form;
        form.LoadNodeList();
        QVERIFY(showActive(form));
        QListWidget* list = listOf(form);
        QLineEdit* filter = filterOf(form);
        const QStringList all = entries(*list, false);

        QTest::keyClicks(filter, typed);
        QCOMPARE(entries(*list, true), shown);
        // Nothing is removed, only hidden; the order stays.
        QCOMPARE(entries(*list, false), all);
        // A single match is selected so that Enter takes it; otherwise nothing is.
        const QStringList selected = shown.size() == 1 ? shown : QStringList();
        QStringList selectedTexts;
        for (const QListWidgetItem* item : list->selectedItems())
            selectedTexts << item->text();
        QCOMPARE(selectedTexts, selected);

        // Clearing the filter shows everything again.
        filter->selectAll();
        QTest::keyClick(filter, Qt::Key_Backspace);
        QCOMPARE(filter->text(), QString());
        QCOMPARE(entries(*list, true), all);
    }

    void filterKeepsUpWithReloading() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());

        SelectNodeForm form;
        form.LoadNodeList();
        filterOf(form)->setText(QStringLiteral("10.0.0"));
        form.LoadNodeList();
        QCOMPARE(
            entries(*listOf(form), true),
            (QStringList{QStringLiteral("alpha  (10.0.0.1)"), QStringLiteral("Bravo  (10.0.0.2)"),
                         QStringLiteral("charlie  (10.0.0.3)")}));
    }

    void keyboard_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("to");

        const int none = Qt::NoModifier;
        QTest::newRow("Tab from the filter")
            << "NodeFilter" << int(Qt::Key_Tab) << none << "NodeList";
        QTest::newRow("Tab from the list") << "NodeList" << int(Qt::Key_Tab) << none << "OK_Button";
        QTest::newRow("Tab from OK") << "OK_Button" << int(Qt::Key_Tab) << none << "Cancel_Button";
        QTest::newRow("Tab from Cancel")
            << "Cancel_Button" << int(Qt::Key_Tab) << none << "HelpButton";
        QTest::newRow("Tab from Help wraps")
            << "HelpButton" << int(Qt::Key_Tab) << none << "NodeFilter";
        QTest::newRow("Shift+Tab from the list")
            << "NodeList" << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << "NodeFilter";
        QTest::newRow("Down from the filter")
            << "NodeFilter" << int(Qt::Key_Down) << none << "NodeList";
        QTest::newRow("Alt+S to the list")
            << "NodeFilter" << int(Qt::Key_S) << int(Qt::AltModifier) << "NodeList";
        QTest::newRow("Alt+F to the filter")
            << "HelpButton" << int(Qt::Key_F) << int(Qt::AltModifier) << "NodeFilter";
    }
    void keyboard() {
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, to);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());

        SelectNodeForm form;
        form.LoadNodeList();
        QVERIFY(showActive(form));
        auto* start = form.findChild<QWidget*>(from);
        QVERIFY(start);
        start->setFocus();
        QCOMPARE(QApplication::focusWidget(), start);
        QTest::keyClick(start, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), to);
        QVERIFY(form.isVisible());
    }

    void startsInTheFilter() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());
        SelectNodeForm form;
        form.LoadNodeList();
        QVERIFY(showActive(form));
        QCOMPARE(QApplication::focusWidget(), filterOf(form));
        // Down moves into the list and selects the first entry.
        QTest::keyClick(filterOf(form), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), listOf(form));
        QCOMPARE(listOf(form)->selectedItems().size(), 1);
        QCOMPARE(listOf(form)->selectedItems().first()->text(),
                 QStringLiteral("alpha  (10.0.0.1)"));
    }

    void help() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());
        SelectNodeForm form;
        form.LoadNodeList();
        QVERIFY(showActive(form));
        QCOMPARE(form.helpContextId(), 6300);
        QCOMPARE(form.property("helpContextId").toInt(), 6300);

        QSignalSpy requested(&form, &SelectNodeForm::helpRequested);
        bool busyWhileAsked = false;
        connect(&form, &SelectNodeForm::helpRequested, this, [&busyWhileAsked] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            busyWhileAsked = cursor && cursor->shape() == Qt::WaitCursor;
        });
        QTest::mouseClick(child<QPushButton>(form, "HelpButton"), Qt::LeftButton);
        QCOMPARE(requested.size(), 1);
        QVERIFY(busyWhileAsked);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(form.isVisible());
        QCOMPARE(form.SelectedNodeID(), 0);
    }

    void looks_data() {
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<bool>("grown"); // beyond the designed size
        QTest::newRow("usual font") << 0 << false;
        QTest::newRow("large font") << 18 << true;
    }
    void looks() {
        QFETCH(int, pointSize);
        QFETCH(bool, grown);
        const QFont usualFont = QApplication::font();
        const auto restoreFont = qScopeGuard([&usualFont] { QApplication::setFont(usualFont); });
        if (pointSize > 0) {
            QFont large = usualFont;
            large.setPointSize(pointSize);
            QApplication::setFont(large);
        }
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());

        QWidget owner;
        owner.setGeometry(100, 80, 600, 440);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        SelectNodeForm form(&owner);
        form.LoadNodeList();
        QVERIFY(showActive(form));

        QCOMPARE(form.windowTitle(), QStringLiteral("Build New Chart ..."));
        QVERIFY(form.isModal());
        // No smaller than designed, and larger when the user wants.
        const QSize designed(qRound(6435 * form.logicalDpiX() / 1440.0),
                             qRound(2970 * form.logicalDpiY() / 1440.0));
        QVERIFY(form.minimumSize().width() >= designed.width());
        QVERIFY(form.minimumSize().height() >= designed.height());
        QCOMPARE(form.minimumSize() != designed, grown);
        QVERIFY(form.maximumSize().height() > form.minimumSize().height());
        // With room on the screen, more than eight entries show.
        if (!grown)
            QVERIFY(listOf(form)->viewport()->height() >
                    8 * listOf(form)->fontMetrics().lineSpacing());
        // Centred on its owner.
        const QPoint offset = form.geometry().center() - owner.geometry().center();
        QVERIFY2(offset.manhattanLength() <= 8,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));

        auto* label = child<QLabel>(form, "Label1");
        auto* filterLabel = child<QLabel>(form, "FilterLabel");
        auto* filter = filterOf(form);
        auto* list = listOf(form);
        auto* ok = child<QPushButton>(form, "OK_Button");
        auto* cancel = child<QPushButton>(form, "Cancel_Button");
        auto* helpButton = child<QPushButton>(form, "HelpButton");
        QCOMPARE(label->text(), QStringLiteral("&Select Node"));
        QCOMPARE(label->buddy(), list);
        QCOMPARE(filterLabel->buddy(), filter);
        QCOMPARE(filter->placeholderText(), QStringLiteral("Type to filter by name or address"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(helpButton->text(), QStringLiteral("Help"));
        QVERIFY(ok->isDefault());

        // Nothing is cut off.
        const QList<QWidget*> widgets{label, filterLabel, filter, list, ok, cancel, helpButton};
        for (QWidget* widget : widgets) {
            QVERIFY2(form.rect().contains(widget->geometry()), qPrintable(widget->objectName()));
            QVERIFY2(widget->width() >= widget->minimumSizeHint().width(),
                     qPrintable(widget->objectName()));
            QVERIFY2(widget->height() >= widget->minimumSizeHint().height(),
                     qPrintable(widget->objectName()));
        }
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(filter->width() >
                filter->fontMetrics().horizontalAdvance(filter->placeholderText()));
        QVERIFY(list->height() >= 4 * list->fontMetrics().lineSpacing());

        // The list on the left under the label and the filter; OK over Cancel
        // at the top right; Help at the bottom right.
        QVERIFY(label->geometry().bottom() <= filter->geometry().top());
        QVERIFY(filter->geometry().bottom() < list->geometry().top());
        QVERIFY(list->geometry().right() < ok->geometry().left());
        QVERIFY(ok->geometry().bottom() < cancel->geometry().top());
        QVERIFY(cancel->geometry().bottom() < helpButton->geometry().top());
        QCOMPARE(ok->geometry().left(), cancel->geometry().left());
        QCOMPARE(ok->geometry().left(), helpButton->geometry().left());
        QVERIFY(qAbs(helpButton->geometry().bottom() - list->geometry().bottom()) <= 2);
    }

    void selectNode_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("nodeId");
        QTest::addColumn<int>("onView");

        QTest::newRow("OK on the node on view") << QString() << QString() << "OK_Button" << 3 << 3;
        QTest::newRow("OK on a selected entry")
            << QString() << QStringLiteral("Bravo  (10.0.0.2)") << "OK_Button" << 2 << 3;
        QTest::newRow("OK with nothing selected")
            << QString() << QString() << "OK_Button" << 0 << 0;
        QTest::newRow("Cancel with an entry selected")
            << QString() << QStringLiteral("Bravo  (10.0.0.2)") << "Cancel_Button" << 0 << 0;
        QTest::newRow("OK on the one match of the filter")
            << QStringLiteral("192") << QString() << "OK_Button" << 4 << 0;
    }
    void selectNode() {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        QFETCH(QString, button);
        QFETCH(int, nodeId);
        QFETCH(int, onView);
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());

        QWidget owner;
        owner.resize(500, 400);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        int entriesShown = -1;
        const ModalAnswer answer([&](SelectNodeForm& form) {
            QListWidget* list = listOf(form);
            entriesShown = list->count();
            if (!typed.isEmpty())
                QTest::keyClicks(filterOf(form), typed);
            if (!selected.isEmpty())
                list->setCurrentItem(entry(*list, selected));
            QTest::mouseClick(child<QPushButton>(form, qPrintable(button)), Qt::LeftButton);
        });
        QCOMPARE(SelectNodeForm::SelectNode(&owner, {}, onView), nodeId);
        QVERIFY(answer.answered());
        QVERIFY(!answer.leftOpen());
        QVERIFY(!answer.gaveUp());
        QCOMPARE(entriesShown, 4);
        // The dialog is gone once the choice is made.
        QVERIFY(owner.findChildren<SelectNodeForm*>().isEmpty());
        QCOMPARE(rec->texts(), QStringList());
    }

    void keepsTheSizeTheUserGaveIt() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());
        QSize given;
        const ModalAnswer grow([&](SelectNodeForm& form) {
            form.resize(form.size() + QSize(120, 90));
            given = form.size();
            form.reject();
        });
        SelectNodeForm::SelectNode(nullptr);
        QSize reopened;
        const ModalAnswer look([&](SelectNodeForm& form) {
            reopened = form.size();
            form.reject();
        });
        SelectNodeForm::SelectNode(nullptr);
        QCOMPARE(reopened, given);
    }

    void eachCallStartsFresh() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        writeNodes(standardNodes());

        {
            const ModalAnswer answer([](SelectNodeForm& form) {
                QTest::keyClicks(filterOf(form), QStringLiteral("bravo"));
                QTest::mouseClick(child<QPushButton>(form, "OK_Button"), Qt::LeftButton);
            });
            QCOMPARE(SelectNodeForm::SelectNode(nullptr), 2);
            QVERIFY(answer.answered());
            QVERIFY(!answer.leftOpen());
        }

        // The next call reads the database again and remembers nothing.
        MonitorDB::release();
        NodeRows more = standardNodes();
        more << QVariantList{9, QStringLiteral("delta"), QStringLiteral("10.0.0.9")};
        writeNodes(more);
        QString filterText = QStringLiteral("unset");
        int shownCount = -1;
        int selectedCount = -1;
        int startingId = -1;
        const ModalAnswer answer([&](SelectNodeForm& form) {
            filterText = filterOf(form)->text();
            shownCount = entries(*listOf(form), true).size();
            selectedCount = int(listOf(form)->selectedItems().size());
            startingId = form.SelectedNodeID();
            QTest::mouseClick(child<QPushButton>(form, "OK_Button"), Qt::LeftButton);
        });
        QCOMPARE(SelectNodeForm::SelectNode(nullptr), 0);
        QVERIFY(answer.answered());
        QVERIFY(!answer.leftOpen());
        QCOMPARE(filterText, QString());
        QCOMPARE(shownCount, 5);
        QCOMPARE(selectedCount, 0);
        QCOMPARE(startingId, 0);
    }

    void selectNodeReportsALoadFailure() {
        const test::ProgramDirScope dir;
        const test::DialogRecorderScope rec;
        // No database: the user is told, and the dialog still opens so the
        // command can be cancelled.
        bool empty = false;
        const ModalAnswer answer([&](SelectNodeForm& form) {
            empty = listOf(form)->count() == 0;
            QTest::mouseClick(child<QPushButton>(form, "OK_Button"), Qt::LeftButton);
        });
        QCOMPARE(SelectNodeForm::SelectNode(nullptr), 0);
        QVERIFY(answer.answered());
        QVERIFY(empty);
        QCOMPARE(rec->messages.size(), 1);
        QVERIFY(
            rec->messages.first().text.startsWith(QStringLiteral("Cannot load node list.\r\n")));
        QVERIFY(!QFile::exists(MonitorDB::databasePath()));
    }
};

QTEST_MAIN(TestSelectNode)
#include "test_selectnode.moc"
