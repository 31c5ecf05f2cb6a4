#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SelectNodeForm.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <optional>

using namespace tarnvue;
using namespace Qt::StringLiterals;

namespace {

const QString Alpha = u"alpha  (10.0.0.1)"_s;
const QString Bravo = u"Bravo  (10.0.0.2)"_s;
const QString Charlie = u"charlie  (10.0.0.3)"_s;
const QString Beta = u"beta  (192.168.7.4)"_s;

// Four nodes stored out of order and in mixed case.
test::Rows standardNodes() {
    return {{1, "alpha", "10.0.0.1"},
            {2, "Bravo", "10.0.0.2"},
            {3, "charlie", "10.0.0.3"},
            {4, "beta", "192.168.7.4"}};
}

void writeNodes(const test::Rows& rows) {
    test::writeDatabase(MonitorDB::databasePath(), rows);
}

QWidget* child(const QWidget& form, const QString& name) {
    auto* widget = form.findChild<QWidget*>(name);
    if (!widget)
        qFatal("no widget %s", qPrintable(name));
    return widget;
}
QListWidget* listOf(const QWidget& form) {
    return static_cast<QListWidget*>(child(form, u"NodeList"_s));
}
QLineEdit* filterOf(const QWidget& form) {
    return static_cast<QLineEdit*>(child(form, u"NodeFilter"_s));
}
void click(const QWidget& form, const QString& button) {
    QTest::mouseClick(child(form, button), Qt::LeftButton);
}

QStringList entries(const QListWidget& list, bool shownOnly = false) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) {
        if (!shownOnly || !list.item(row)->isHidden())
            texts << list.item(row)->text();
    }
    return texts;
}

QListWidgetItem* entry(const QListWidget& list, const QString& text) {
    const auto found = list.findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

// A form of its own, filled and shown as the active window, so keys reach it.
struct ShownForm {
    SelectNodeForm form;
    bool active = false;
    explicit ShownForm(QWidget* owner = nullptr) : form(owner) {
        form.LoadNodeList();
        form.show();
        form.activateWindow();
        active = QTest::qWaitForWindowActive(&form);
    }
};

// Runs "Build New Chart" over an owner as the main window does and answers it
// once it is up. Returns the node chosen; -1 when the answer left the dialog
// open (it is rejected then, so that no test hangs), -2 when it outlives the
// call.
int choose(const std::function<void(SelectNodeForm&)>& answer, int onView = 0) {
    QWidget owner;
    owner.resize(500, 400);
    owner.show();
    bool leftOpen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        QPointer<SelectNodeForm> form =
            qobject_cast<SelectNodeForm*>(QApplication::activeModalWidget());
        if (!form)
            return;
        poll.stop();
        if (QTest::qWaitForWindowActive(form))
            answer(*form);
        leftOpen = form && form->isVisible();
        if (leftOpen)
            form->reject();
    });
    poll.start(10);
    const int id = SelectNodeForm::SelectNode(&owner, {}, onView);
    if (!owner.findChildren<SelectNodeForm*>().isEmpty())
        return -2;
    return leftOpen ? -1 : id;
}

} // namespace

// Each test runs in a program folder of its own whose database holds the
// standard nodes, with the message boxes it shows recorded.
class TestSelectNode : public QObject {
    Q_OBJECT

    std::optional<test::ProgramDirScope> m_dir;
    std::optional<test::DialogRecorderScope> m_dialogs;
    test::RecordingDialogs& rec() { return **m_dialogs; }

private slots:
    void init() {
        m_dir.emplace();
        m_dialogs.emplace();
        writeNodes(standardNodes());
    }
    void cleanup() {
        MonitorDB::release();
        m_dialogs.reset();
        m_dir.reset();
    }

    void entriesAndOrder_data() {
        QTest::addColumn<test::Rows>("nodes");
        QTest::addColumn<QStringList>("expected"); // entry text = node
        QTest::newRow("sorted without regard to case")
            << standardNodes()
            << QStringList{Alpha + "=1", Beta + "=4", Bravo + "=2", Charlie + "=3"};
        QTest::newRow("null and empty names and addresses")
            << test::Rows{{5, QVariant(), "10.0.0.5"}, {6, "no-address", QVariant()}, {7, "", ""}}
            << QStringList{"  ()=7", "  (10.0.0.5)=5", "no-address  ()=6"};
        QTest::newRow("entries equal but for case keep a fixed order")
            << test::Rows{{1, "delta", "x"},
                          {2, "Delta", "x"},
                          {3, "delta", "x"},
                          {4, "DELTA", "x"}}
            << QStringList{"DELTA  (x)=4", "Delta  (x)=2", "delta  (x)=1", "delta  (x)=3"};
        QTest::newRow("identifiers at the ends of the 32-bit range")
            << test::Rows{{2147483647LL, "max", "a"}, {-2147483647LL - 1, "min", "b"}}
            << QStringList{"max  (a)=2147483647", "min  (b)=-2147483648"};
        QTest::newRow("no nodes") << test::Rows{} << QStringList{};
    }
    void entriesAndOrder() {
        QFETCH(test::Rows, nodes);
        QFETCH(QStringList, expected);
        writeNodes(nodes);
        SelectNodeForm form;
        form.LoadNodeList();
        // Loading again replaces the entries rather than adding to them.
        form.LoadNodeList();
        QStringList got;
        for (int row = 0; row < listOf(form)->count(); ++row)
            got << listOf(form)->item(row)->text() + '=' +
                       QString::number(listOf(form)->item(row)->data(Qt::UserRole).toInt());
        QCOMPARE(got, expected);
        QCOMPARE(rec().texts(), QStringList());
    }

    // A failure is reported, the dialog still opens so that the command can
    // be cancelled, and whatever was read before the failure can be chosen.
    void loadFailures_data() {
        QTest::addColumn<QByteArray>("file"); // replaces the database; "-": none
        QTest::addColumn<QByteArray>("sql");  // run on the database
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file that is not a database")
            << QByteArray("not a database") << QByteArray() << QStringList()
            << "not a monitor database";
        QTest::newRow("no database")
            << QByteArray("-") << QByteArray() << QStringList() << "No monitor database was found";
        // The row after the broken one is never read.
        QTest::newRow("a null Node ID after two good rows")
            << QByteArray()
            << QByteArray("DELETE FROM Nodes WHERE [Node ID] > 2; INSERT INTO Nodes VALUES "
                          "(NULL, 'x', 'y'); INSERT INTO Nodes VALUES (3, 'charlie', '10.0.0.3')")
            << QStringList{Alpha, Bravo} << "Invalid use of Null";
        QTest::newRow("no Nodes table")
            << QByteArray() << QByteArray("DROP TABLE Nodes") << QStringList() << "Nodes";
    }
    void loadFailures() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, sql);
        QFETCH(QStringList, kept);
        QFETCH(QString, reason);
        const QString path = MonitorDB::databasePath();
        QFile out(path);
        if (file == "-")
            QVERIFY(out.remove());
        else if (!file.isEmpty())
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        if (!sql.isEmpty())
            test::execSql(path, sql);

        QStringList shown;
        QCOMPARE(choose([&](SelectNodeForm& form) {
                     shown = entries(*listOf(form));
                     if (!kept.isEmpty())
                         listOf(form)->setCurrentItem(entry(*listOf(form), kept.last()));
                     click(form, u"OK_Button"_s);
                 }),
                 kept.isEmpty() ? 0 : 2);
        QCOMPARE(shown, kept);
        QCOMPARE(rec().messages.size(), 1);
        QCOMPARE(rec().messages.first().icon, MessageIcon::Exclamation);
        const QString text = rec().messages.first().text;
        QVERIFY2(text.startsWith("Cannot load node list.\r\n") && text.contains(reason),
                 qPrintable(text));
        // Loading never creates a missing database.
        QCOMPARE(QFile::exists(path), file != "-");
    }

    // The node the dialog hands back however it is ended: by a button, a
    // key in the list or the filter, a double-click or the close box.
    void choosing_data() {
        QTest::addColumn<int>("onView");
        QTest::addColumn<QString>("selected"); // clicked first
        QTest::addColumn<QString>("typed");    // into the filter next
        QTest::addColumn<int>("nodeId");       // -1: still open
        QTest::addColumn<QString>("ending");   // "widget: keys", or a mouse action
        const QString none;
        QTest::newRow("OK, the node on view") << 3 << none << none << 3 << "OK_Button";
        QTest::newRow("OK, a selected entry") << 3 << Bravo << none << 2 << "OK_Button";
        QTest::newRow("OK, nothing selected") << 0 << none << none << 0 << "OK_Button";
        QTest::newRow("double-click") << 0 << Alpha << none << 3 << "double-click " + Charlie;
        QTest::newRow("double-click below all") << 0 << Bravo << none << -1 << "double-click below";
        QTest::newRow("list: Enter") << 0 << Charlie << none << 3 << "NodeList: Return";
        QTest::newRow("Cancel") << 3 << Bravo << none << 0 << "Cancel_Button";
        QTest::newRow("close box") << 3 << Bravo << none << 0 << "close";
        QTest::newRow("filter: Enter, one match")
            << 0 << none << "CHAR" << 3 << "NodeFilter: Return";
        QTest::newRow("filter: Enter, none chosen")
            << 0 << none << "a" << 0 << "NodeFilter: Return";
        QTest::newRow("filter: Enter, keeps a shown choice")
            << 0 << Bravo << "b" << 2 << "NodeFilter: Return";
        QTest::newRow("OK, choice hidden by the filter") << 0 << Alpha << "b" << 0 << "OK_Button";
        QTest::newRow("filter: Down Enter, first shown")
            << 0 << none << "b" << 4 << "NodeFilter: Down Return";
        QTest::newRow("filter: Esc") << 0 << Bravo << "bra" << 0 << "NodeFilter: Esc";
    }
    void choosing() {
        QFETCH(int, onView);
        QFETCH(QString, selected);
        QFETCH(QString, typed);
        QFETCH(int, nodeId);
        QFETCH(QString, ending);
        const int chosen = choose(
            [&](SelectNodeForm& form) {
                QListWidget* list = listOf(form);
                const auto centre = [&](QListWidgetItem* item) {
                    list->scrollToItem(item);
                    return list->visualItemRect(item).center();
                };
                const auto doubleClickAt = [&](const QPoint& at) {
                    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
                };
                if (!selected.isEmpty())
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                      centre(entry(*list, selected)));
                QTest::keyClicks(filterOf(form), typed);
                if (ending.contains(QLatin1String(": "))) {
                    child(form, ending.section(QLatin1String(": "), 0, 0))->setFocus();
                    for (const QString& key : ending.section(QLatin1String(": "), 1).split(' '))
                        QTest::keyClick(QApplication::focusWidget(), QKeySequence(key)[0].key());
                } else if (ending == QLatin1String("close")) {
                    form.close();
                } else if (ending == QLatin1String("double-click below")) {
                    const QRect last = list->visualItemRect(list->item(list->count() - 1));
                    const QPoint below(last.center().x(), last.bottom() + last.height());
                    QVERIFY(list->viewport()->rect().contains(below));
                    doubleClickAt(below);
                } else if (ending.startsWith(QLatin1String("double-click "))) {
                    doubleClickAt(centre(entry(*list, ending.mid(13))));
                } else {
                    click(form, ending);
                }
            },
            onView);
        QCOMPARE(chosen, nodeId);
        QCOMPARE(rec().texts(), QStringList());
    }

    void filtering_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        const QString nameless = u"  (10.9.9.9)"_s;
        const QString gateway = u"Gateway  (FE80::1A)"_s;
        const QStringList all{nameless, Alpha, Beta, Bravo, Charlie, gateway};
        QTest::newRow("nothing typed") << QString() << all;
        QTest::newRow("name, other case") << "BRA" << QStringList{Bravo};
        QTest::newRow("middle of a name") << "et" << QStringList{Beta};
        QTest::newRow("address, other case") << "fe80::1a" << QStringList{gateway};
        QTest::newRow("address of several") << "10.0.0" << QStringList{Alpha, Bravo, Charlie};
        QTest::newRow("name or address")
            << "a" << QStringList{Alpha, Beta, Bravo, Charlie, gateway};
        QTest::newRow("node without a name") << "10.9" << QStringList{nameless};
        QTest::newRow("blanks around the text") << "  beta " << QStringList{Beta};
        QTest::newRow("only blanks") << "   " << all;
        QTest::newRow("brackets of the entry text") << "(" << QStringList();
    }
    void filtering() {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        writeNodes(standardNodes() << QVariantList{5, "Gateway", "FE80::1A"}
                                   << QVariantList{6, QVariant(), "10.9.9.9"});
        ShownForm shownForm;
        QVERIFY(shownForm.active);
        QListWidget* list = listOf(shownForm.form);
        const QStringList all = entries(*list);
        QTest::keyClicks(filterOf(shownForm.form), typed);
        QCOMPARE(entries(*list, true), shown);
        // Nothing is removed, only hidden; the order stays.
        QCOMPARE(entries(*list), all);
        // A single match is selected so that Enter takes it; otherwise nothing is.
        QCOMPARE(list->selectedItems().size(), shown.size() == 1 ? 1 : 0);
        // Loading again keeps to the filter; clearing it shows everything.
        shownForm.form.LoadNodeList();
        QCOMPARE(entries(*list, true), shown);
        filterOf(shownForm.form)->selectAll();
        QTest::keyClick(filterOf(shownForm.form), Qt::Key_Backspace);
        QCOMPARE(entries(*list, true), all);
    }

    // The filter has the focus first, so that typing narrows the list at
    // once; Tab goes round in reading order; Down, Alt+S and Alt+F move
    // between the filter and the list. Help, by F1 or its button, is asked
    // for under the hourglass and leaves the dialog open with nothing chosen.
    void keyboardAndHelp() {
        ShownForm shown;
        QVERIFY(shown.active);
        QStringList focus{QApplication::focusWidget()->objectName()};
        for (const char* keys :
             {"Tab", "Tab", "Tab", "Tab", "Tab", "Down", "Shift+Backtab", "Alt+S", "Alt+F"}) {
            const QKeyCombination key = QKeySequence(QString::fromLatin1(keys))[0];
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            focus << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(focus.join(' '), "NodeFilter NodeList OK_Button Cancel_Button HelpButton "
                                  "NodeFilter NodeList NodeFilter NodeList NodeFilter");
        QStringList asked;
        connect(&shown.form, &SelectNodeForm::helpRequested, this, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            asked << (cursor && cursor->shape() == Qt::WaitCursor ? "busy" : "idle");
        });
        QTest::keyClick(filterOf(shown.form), Qt::Key_F1);
        click(shown.form, u"HelpButton"_s);
        QCOMPARE(asked, (QStringList{"busy", "busy"}));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(shown.form.isVisible());
        QCOMPARE(shown.form.SelectedNodeID(), 0);
    }

    void looks_data() {
        QTest::addColumn<int>("pointSize"); // 0: the usual font
        QTest::newRow("usual font") << 0;
        QTest::newRow("large font") << 18;
    }
    void looks() {
        QFETCH(int, pointSize);
        const QFont usualFont = QApplication::font();
        const auto restoreFont = qScopeGuard([&usualFont] { QApplication::setFont(usualFont); });
        if (pointSize > 0) {
            QFont large = usualFont;
            large.setPointSize(pointSize);
            QApplication::setFont(large);
        }
        QWidget owner;
        owner.setGeometry(100, 80, 600, 440);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        ShownForm shown(&owner);
        const SelectNodeForm& form = shown.form;
        QVERIFY(shown.active);
        QCOMPARE(form.windowTitle(), u"Build New Chart ..."_s);
        QVERIFY(form.isModal());
        // It can grow, more than eight entries show with the usual font, and
        // it is centred on its owner.
        QVERIFY(form.maximumSize().height() > form.minimumSize().height());
        if (pointSize == 0)
            QVERIFY(listOf(form)->viewport()->height() >
                    8 * listOf(form)->fontMetrics().lineSpacing());
        const QPoint offset = form.geometry().center() - owner.geometry().center();
        QVERIFY2(offset.manhattanLength() <= 8, "not centred on its owner");
        // Nothing is cut off or covered, and the filter's hint can be read.
        const auto widgets = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* widget : widgets) {
            QVERIFY2(form.rect().contains(widget->geometry()) &&
                         widget->width() >= widget->minimumSizeHint().width() &&
                         widget->height() >= widget->minimumSizeHint().height(),
                     qPrintable(widget->objectName()));
            for (const QWidget* other : widgets)
                QVERIFY(other == widget || !other->geometry().intersects(widget->geometry()));
        }
        const QLineEdit* filter = filterOf(form);
        QVERIFY(filter->width() >
                filter->fontMetrics().horizontalAdvance(filter->placeholderText()));
    }

    // Each call reads the database again and keeps nothing of the last one
    // but the size the user gave the dialog.
    void eachCallStartsFresh() {
        QSize given;
        QCOMPARE(choose([&](SelectNodeForm& form) {
                     form.resize(form.size() + QSize(120, 90));
                     given = form.size();
                     QTest::keyClicks(filterOf(form), u"bravo"_s);
                     click(form, u"OK_Button"_s);
                 }),
                 2);
        MonitorDB::release();
        writeNodes(standardNodes() << QVariantList{9, "delta", "10.0.0.9"});
        QStringList seen;
        QCOMPARE(choose([&](SelectNodeForm& form) {
                     seen << filterOf(form)->text()
                          << QString::number(entries(*listOf(form), true).size())
                          << QString::number(listOf(form)->selectedItems().size())
                          << QString::number(form.SelectedNodeID())
                          << QString::number(form.size() == given);
                     click(form, u"OK_Button"_s);
                 }),
                 0);
        QCOMPARE(seen, (QStringList{"", "5", "0", "0", "1"}));
    }
};

QTEST_MAIN(TestSelectNode)
#include "test_selectnode.moc"
