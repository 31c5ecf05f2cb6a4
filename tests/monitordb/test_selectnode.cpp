#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "monitordb/MonitorDB.h"
#include "monitordb/SelectNodeForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
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
const QString Gateway = u"Gateway  (FE80::1A)"_s;
const QString Nameless = u"  (10.9.9.9)"_s;

// Nodes stored out of order, in mixed case, one without a name.
test::Rows standardNodes() {
    return {{1, "alpha", "10.0.0.1"},   {2, "Bravo", "10.0.0.2"},   {3, "charlie", "10.0.0.3"},
            {4, "beta", "192.168.7.4"}, {5, "Gateway", "FE80::1A"}, {6, QVariant(), "10.9.9.9"}};
}

void writeNodes(const test::Rows& rows) {
    test::writeDatabase(MonitorDB::databasePath(), rows);
}

QListWidget* listOf(const QWidget& form) {
    return form.findChild<QListWidget*>();
}
QLineEdit* filterOf(const QWidget& form) {
    return form.findChild<QLineEdit*>();
}
void click(const QWidget& form, const QString& button) {
    QTest::mouseClick(form.findChild<QWidget*>(button), Qt::LeftButton);
}

// The entries, each as "text=node", or only the nodes of those shown.
QStringList entries(const QListWidget& list, bool shownNodes = false) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) {
        const QString node = QString::number(list.item(row)->data(Qt::UserRole).toInt());
        if (!shownNodes)
            texts << list.item(row)->text() + QLatin1Char('=') + node;
        else if (!list.item(row)->isHidden())
            texts << node;
    }
    return texts;
}

// Runs "Build New Chart" over an owner as the main window does and answers it
// once it is up. Returns the node chosen; -1 when the answer left the dialog
// open (it is rejected then, so that no test hangs).
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

    // The entries (text and node) in the order shown, whatever the names and
    // identifiers. A failure is reported, and the dialog still opens so that
    // whatever was read before the failure can be chosen.
    void loading_data() {
        QTest::addColumn<test::Rows>("nodes");
        QTest::addColumn<QByteArray>("damage");    // SQL run on the database
        QTest::addColumn<QStringList>("expected"); // entry text = node
        QTest::addColumn<QString>("reason");       // of the failure; empty: none
        QTest::newRow("sorted without regard to case")
            << standardNodes() << QByteArray()
            << QStringList{Nameless + "=6", Alpha + "=1",   Beta + "=4",
                           Bravo + "=2",    Charlie + "=3", Gateway + "=5"}
            << "";
        QTest::newRow("null and empty names and addresses")
            << test::Rows{{5, QVariant(), "10.0.0.5"}, {6, "no-address", QVariant()}, {7, "", ""}}
            << QByteArray() << QStringList{"  ()=7", "  (10.0.0.5)=5", "no-address  ()=6"} << "";
        QTest::newRow("entries equal but for case keep a fixed order")
            << test::Rows{{1, "delta", "x"},
                          {2, "Delta", "x"},
                          {3, "delta", "x"},
                          {4, "DELTA", "x"}}
            << QByteArray()
            << QStringList{"DELTA  (x)=4", "Delta  (x)=2", "delta  (x)=1", "delta  (x)=3"} << "";
        QTest::newRow("identifiers at the ends of the 32-bit range")
            << test::Rows{{2147483647LL, "max", "a"}, {-2147483647LL - 1, "min", "b"}}
            << QByteArray() << QStringList{"max  (a)=2147483647", "min  (b)=-2147483648"} << "";
        QTest::newRow("no nodes") << test::Rows() << QByteArray() << QStringList() << "";
        // The row after the broken one is never read.
        QTest::newRow("a null Node ID after two good rows")
            << standardNodes()
            << QByteArray("DELETE FROM Nodes WHERE [Node ID] > 2; INSERT INTO Nodes VALUES "
                          "(NULL, 'x', 'y'); INSERT INTO Nodes VALUES (3, 'charlie', '10.0.0.3')")
            << QStringList{Alpha + "=1", Bravo + "=2"} << "Invalid use of Null";
    }
    void loading() {
        QFETCH(test::Rows, nodes);
        QFETCH(QByteArray, damage);
        QFETCH(QStringList, expected);
        QFETCH(QString, reason);
        writeNodes(nodes);
        if (!damage.isEmpty())
            test::execSql(MonitorDB::databasePath(), damage);

        QStringList shown;
        const int chosen = choose([&](SelectNodeForm& form) {
            shown = entries(*listOf(form));
            listOf(form)->setCurrentRow(listOf(form)->count() - 1);
            click(form, u"OK_Button"_s);
        });
        QCOMPARE(shown, expected);
        QCOMPARE(chosen, expected.isEmpty() ? 0 : expected.last().section('=', -1).toInt());
        QCOMPARE(rec().messages.size(), reason.isEmpty() ? 0 : 1);
        if (!reason.isEmpty()) {
            QCOMPARE(rec().messages.first().icon, MessageIcon::Exclamation);
            const QString text = rec().messages.first().text;
            QVERIFY2(text.startsWith("Cannot load node list.\r\n") && text.contains(reason),
                     qPrintable(text));
        }
    }

    // What the filter shows (name or address, in any case, the text's
    // blanks ignored) and the node the dialog hands back however it is
    // ended: by a button, a key in the list or the filter, a double-click.
    void choosing_data() {
        QTest::addColumn<int>("onView");
        QTest::addColumn<QString>("selected"); // clicked first
        QTest::addColumn<QString>("typed");    // into the filter next
        QTest::addColumn<int>("nodeId");
        QTest::addColumn<QString>("shown");  // nodes shown then
        QTest::addColumn<QString>("ending"); // "widget: keys", or a mouse action
        const QString none;
        const QString all = u"6 1 4 2 3 5"_s;
        const QString ok = u"OK_Button"_s;
        const QString enter = u"NodeFilter: Return"_s;
        QTest::newRow("OK, the node on view") << 3 << none << none << 3 << all << ok;
        QTest::newRow("OK, a selected entry") << 3 << Bravo << none << 2 << all << ok;
        QTest::newRow("OK, nothing selected") << 0 << none << none << 0 << all << ok;
        QTest::newRow("double-click")
            << 0 << Alpha << none << 3 << all << "double-click " + Charlie;
        QTest::newRow("list: Enter") << 0 << Charlie << none << 3 << all << u"NodeList: Return"_s;
        QTest::newRow("Cancel") << 3 << Bravo << none << 0 << all << u"Cancel_Button"_s;
        QTest::newRow("name, other case") << 0 << none << "BRA" << 2 << "2" << enter;
        QTest::newRow("middle of a name") << 0 << none << "et" << 4 << "4" << enter;
        QTest::newRow("address, other case") << 0 << none << "fe80::1a" << 5 << "5" << enter;
        QTest::newRow("address of several") << 0 << none << "10.0.0" << 0 << "1 2 3" << enter;
        QTest::newRow("node without a name") << 0 << none << "10.9" << 6 << "6" << enter;
        QTest::newRow("blanks around the text") << 0 << none << "  beta " << 4 << "4" << enter;
        QTest::newRow("only blanks") << 0 << none << "   " << 0 << all << enter;
        QTest::newRow("brackets of the entry text") << 0 << none << "(" << 0 << "" << enter;
        // The one match stays chosen when the text that found it is rubbed out.
        QTest::newRow("typed and rubbed out") << 0 << none << "bra\b\b\b" << 2 << all << enter;
        QTest::newRow("Enter keeps a shown choice") << 0 << Bravo << "b" << 2 << "4 2" << enter;
        QTest::newRow("OK, choice hidden by the filter") << 0 << Alpha << "b" << 0 << "4 2" << ok;
        QTest::newRow("filter: Down Enter, first shown")
            << 0 << none << "b" << 4 << "4 2" << u"NodeFilter: Down Return"_s;
        QTest::newRow("filter: Esc") << 0 << Bravo << "bra" << 0 << "2" << u"NodeFilter: Esc"_s;
    }
    void choosing() {
        QFETCH(int, onView);
        QFETCH(QString, selected);
        QFETCH(QString, typed);
        QFETCH(int, nodeId);
        QFETCH(QString, shown);
        QFETCH(QString, ending);
        QString seen;
        const int chosen = choose(
            [&](SelectNodeForm& form) {
                QListWidget* list = listOf(form);
                const auto centre = [&](const QString& text) {
                    QListWidgetItem* item = list->findItems(text, Qt::MatchExactly).value(0);
                    list->scrollToItem(item);
                    return list->visualItemRect(item).center();
                };
                if (!selected.isEmpty())
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre(selected));
                QTest::keyClicks(filterOf(form), typed);
                seen = entries(*list, true).join(QLatin1Char(' '));
                if (ending.contains(QLatin1String(": "))) {
                    form.findChild<QWidget*>(ending.section(QLatin1String(": "), 0, 0))->setFocus();
                    for (const QString& key : ending.section(QLatin1String(": "), 1).split(' '))
                        QTest::keyClick(QApplication::focusWidget(), QKeySequence(key)[0].key());
                } else if (ending.startsWith(QLatin1String("double-click "))) {
                    const QPoint at = centre(ending.mid(13));
                    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
                } else {
                    click(form, ending);
                }
            },
            onView);
        QCOMPARE(seen, shown);
        QCOMPARE(chosen, nodeId);
        QCOMPARE(rec().texts(), QStringList());
    }

    // With a large font the dialog can grow, nothing in it is cut off or
    // covered, and the filter's hint can be read. The filter has the focus
    // first, so that typing narrows the list at once; Tab goes round in
    // reading order; Down, Alt+S and Alt+F move between the filter and the
    // list. Help is asked for under the hourglass and leaves the dialog open.
    // The next call reads the database again and keeps nothing of this one
    // but the size the user gave the dialog.
    void layoutKeyboardAndTheNextCall() {
        const QFont usualFont = QApplication::font();
        const auto restoreFont = qScopeGuard([&usualFont] { QApplication::setFont(usualFont); });
        QFont font = usualFont;
        font.setPointSize(18);
        QApplication::setFont(font);
        QStringList focus;
        QStringList asked;
        QSize given;
        QCOMPARE(choose([&](SelectNodeForm& form) {
                     QCOMPARE(form.windowTitle(), u"Build New Chart ..."_s);
                     QVERIFY(form.maximumSize().height() > form.minimumSize().height());
                     const auto widgets = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
                     for (const QWidget* widget : widgets) {
                         QVERIFY2(form.rect().contains(widget->geometry()) &&
                                      widget->width() >= widget->minimumSizeHint().width() &&
                                      widget->height() >= widget->minimumSizeHint().height(),
                                  qPrintable(widget->objectName()));
                         for (const QWidget* other : widgets)
                             QVERIFY(other == widget ||
                                     !other->geometry().intersects(widget->geometry()));
                     }
                     const QLineEdit* filter = filterOf(form);
                     QVERIFY(filter->width() >
                             filter->fontMetrics().horizontalAdvance(filter->placeholderText()));
                     focus << QApplication::focusWidget()->objectName();
                     for (const char* keys : {"Tab", "Tab", "Tab", "Tab", "Tab", "Down",
                                              "Shift+Backtab", "Alt+S", "Alt+F"}) {
                         const QKeyCombination key = QKeySequence(QString::fromLatin1(keys))[0];
                         QTest::keyClick(QApplication::focusWidget(), key.key(),
                                         key.keyboardModifiers());
                         focus << QApplication::focusWidget()->objectName();
                     }
                     connect(&form, &SelectNodeForm::helpRequested, &form, [&] {
                         const QCursor* cursor = QGuiApplication::overrideCursor();
                         asked << (cursor && cursor->shape() == Qt::WaitCursor ? "busy" : "idle");
                     });
                     click(form, u"HelpButton"_s);
                     form.resize(form.size() + QSize(120, 90));
                     given = form.size();
                     QTest::keyClicks(filterOf(form), u"bravo"_s);
                     click(form, u"OK_Button"_s);
                 }),
                 2);
        QCOMPARE(focus.join(' '), "NodeFilter NodeList OK_Button Cancel_Button HelpButton "
                                  "NodeFilter NodeList NodeFilter NodeList NodeFilter");
        QCOMPARE(asked, QStringList{"busy"});
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        MonitorDB::release();
        writeNodes(standardNodes() << QVariantList{9, "delta", "10.0.0.9"});
        QStringList seen;
        QCOMPARE(choose([&](SelectNodeForm& form) {
                     seen << filterOf(form)->text() << entries(*listOf(form), true).join(' ')
                          << QString::number(listOf(form)->selectedItems().size())
                          << QString::number(form.SelectedNodeID())
                          << QString::number(form.size() == given);
                     click(form, u"OK_Button"_s);
                 }),
                 0);
        QCOMPARE(seen, (QStringList{"", "6 1 4 2 3 9 5", "0", "0", "1"}));
    }
};

QTEST_MAIN(TestSelectNode)
#include "test_selectnode.moc"
