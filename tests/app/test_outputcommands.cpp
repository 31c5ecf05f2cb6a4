#include "RecordingDialogs.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "app/GraphForm.h"
#include "chart/TarnvueChart.h"
#include "components/ComponentIds.h"
#include "components/chart/ChartControl.h"
#include "components/exportengine/ExportEngineServer.h"
#include "core/ComponentRegistry.h"
#include "core/DateValue.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

using namespace tarnvue;

namespace {

const QDateTime Now(QDate(2026, 11, 2), QTime(14, 37));

void writeDatabase(const QString& path) {
    test::TestDatabase db(path);
    db.addNode(5, QStringLiteral("Core: Router / 10.0.0.5"), QStringLiteral("10.0.0.5"));
    const double day = DateValue::fromDateTime(Now.date());
    for (int minute = 0; minute < 15 * 60; minute += 5)
        db.addSample(5, day + minute / 1440.0, 10 + (minute / 5) % 7, 9, 20, 0);
}

} // namespace

class TestOutputCommands : public QObject {
    Q_OBJECT

    test::ProgramDirScope* m_dir = nullptr;
    test::ClockScope* m_clock = nullptr;

    std::unique_ptr<GraphForm> nodeChart() {
        auto w = std::make_unique<GraphForm>();
        w->setNodeChooser([](QWidget*) { return 5; });
        w->resize(900, 600);
        w->show();
        w->BuildNewSelection_Click();
        return w;
    }

private slots:
    void initTestCase() {
        m_dir = new test::ProgramDirScope;
        m_clock = new test::ClockScope(Now);
        writeDatabase(MonitorDB::databasePath());
    }
    void cleanupTestCase() {
        delete m_clock;
        delete m_dir;
    }
    void cleanup() {
        ComponentRegistry::instance().remove(ComponentIds::exportEngine());
        MonitorDB::release();
    }

    void menusListTheEnginesMethods() {
        registerExportEngine();
        GraphForm w;
        auto* exports = w.findChild<QMenu*>(QStringLiteral("ExportMenu"));
        QStringList shown;
        for (QAction* a : exports->actions()) {
            if (a->isVisible() && !a->isSeparator())
                shown << a->data().toString();
        }
        QVERIFY2(shown.startsWith(QStringLiteral("HTML")), qPrintable(shown.join(u',')));
        QVERIFY(shown.contains(QStringLiteral("PDF")));
        QVERIFY(!w.findChild<QAction*>(QStringLiteral("ExportMethod"))->isVisible());
        auto* sendTo = w.findChild<QMenu*>(QStringLiteral("SendToMenu"));
        QVERIFY(sendTo->actions().size() >= 2);
        QVERIFY(!w.findChild<QAction*>(QStringLiteral("SendToMethod"))->isVisible());
    }

    void withoutTheEngineOnlyPlaceholders() {
        const test::DialogRecorderScope dialogs;
        auto w = nodeChart();
        QVERIFY(w->findChild<QAction*>(QStringLiteral("ExportMethod"))->isVisible());
        QVERIFY(!w->findChild<QAction*>(QStringLiteral("ExportMethod"))->isEnabled());
        QVERIFY(dialogs->messages.isEmpty());
        // Print Preview reports the missing engine once.
        w->PrintPreviewSelection_Click();
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(dialogs->messages[0].text.startsWith(
            QStringLiteral("Cannot start Norvane Export Engine.")));
    }

    void exportWritesWhereTheUserChose() {
        registerExportEngine();
        const test::DialogRecorderScope dialogs;
        auto w = nodeChart();
        const QString target = m_dir->file(QStringLiteral("chart.pdf"));
        dialogs->fileAnswers.push_back(target);
        // The PDF entry of the Export menu.
        auto* exports = w->findChild<QMenu*>(QStringLiteral("ExportMenu"));
        int index = 0;
        int pdf = 0;
        for (QAction* a : exports->actions()) {
            if (!a->data().toString().isEmpty()) {
                ++index;
                if (a->data().toString() == QStringLiteral("PDF"))
                    pdf = index;
            }
        }
        QVERIFY(pdf > 0);
        w->ExportMethod_Click(pdf);
        QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->texts().join(u'|')));
        QCOMPARE(dialogs->fileRequests.size(), 1);
        // The engine proposed the chart's stem.
        QVERIFY2(
            dialogs->fileRequests[0].fileName.startsWith(QStringLiteral("Core__Router___10.0.0.5")),
            qPrintable(dialogs->fileRequests[0].fileName));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
    }

    // A send writes into a fresh folder of the user's own, never the
    // program's, and a send that cannot reach its target says so.
    void sendToWritesIntoATemporaryFolder_data() {
        QTest::addColumn<bool>("launched");
        QTest::newRow("the application opens the file") << true;
        QTest::newRow("nothing opens it") << false;
    }
    void sendToWritesIntoATemporaryFolder() {
        QFETCH(bool, launched);
        registerExportEngine();
        const test::DialogRecorderScope dialogs;
        QStringList opened;
        ExportEngineServer::setLauncherForTests(
            [&](const QString&, const QStringList&, const QUrl& url) {
                opened << url.toLocalFile();
                return launched;
            });
        auto w = nodeChart();
        const QStringList before = QDir(m_dir->path()).entryList(QDir::Files);
        auto* sendTo = w->findChild<QMenu*>(QStringLiteral("SendToMenu"));
        int index = 0;
        int open = 0;
        for (QAction* a : sendTo->actions()) {
            if (a->data().toString().isEmpty())
                continue;
            ++index;
            if (a->data().toString() == QStringLiteral("Open"))
                open = index;
        }
        QVERIFY(open > 0);
        w->SendToMethod_Click(open);
        ExportEngineServer::setLauncherForTests({});
        QCOMPARE(opened.size(), 1);
        QVERIFY2(opened[0].startsWith(QDir::tempPath() + QStringLiteral("/tarnvue-send-")) &&
                     opened[0].endsWith(QStringLiteral("/Core__Router___10.0.0.5.html")),
                 qPrintable(opened[0]));
        QVERIFY(QFile::exists(opened[0]));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), before);
        QCOMPARE(dialogs->messages.size(), launched ? 0 : 1);
    }

    void copyBitmapAndMetafile() {
        const test::DialogRecorderScope dialogs;
        auto w = nodeChart();
        command(*w, "CopyBitmapSelection")->trigger();
        const QSize size = QGuiApplication::clipboard()->image().size();
        QCOMPARE(size, w->Chart()->size());
        // Wider than 16-bit twips reach.
        w->resize(2600, 700);
        QCoreApplication::processEvents();
        QVERIFY(w->Chart()->width() > 2200);
        command(*w, "CopyMetafileSelection")->trigger();
        QVERIFY(
            QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("image/svg+xml")));
        QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->texts().join(u'|')));
    }

    void pictureSizes() {
        // 9000 x 6000 twips at 15 twips a pixel: 600 x 400 pixels.
        PictureSize s = pictureSize(9000, 6000, 15, 15);
        QCOMPARE(int(s.wholeWidthPixels()), 600);
        QCOMPARE(int(s.wholeHeightPixels()), 400);
        QCOMPARE(int(s.wholeWidthTwips()), 9000);
        // 9009 twips: 600.6 pixels, 601 when whole.
        s = pictureSize(9009, 6000, 15, 15);
        QCOMPARE(s.widthPixels, 600.6);
        QCOMPARE(int(s.wholeWidthPixels()), 601);
        // Halves go to the even neighbour.
        QCOMPARE(int(pictureSize(9007.5, 0, 15, 15).wholeWidthPixels()), 600);
        QCOMPARE(int(pictureSize(9022.5, 0, 15, 15).wholeWidthPixels()), 602);
        QVERIFY_THROWS_EXCEPTION(Error, pictureSize(40000, 100, 1, 1).wholeWidthPixels());
    }

private:
    QAction* command(GraphForm& w, const char* name) {
        return w.findChild<QAction*>(QLatin1String(name));
    }
};

QTEST_MAIN(TestOutputCommands)
#include "test_outputcommands.moc"
