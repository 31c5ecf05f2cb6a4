#include "AppTestSupport.h"
#include "components/ComponentIds.h"
#include "components/exportengine/ExportEngineServer.h"
#include "core/ComponentRegistry.h"
#include "core/Error.h"
#include "monitordb/MonitorDB.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

using namespace tarnvue;
using test::command;

namespace {

// The entry of an Export or Send To menu that runs the engine's method.
QAction* menuEntry(GraphForm& w, const char* menu, const QString& method) {
    for (QAction* a : w.findChild<QMenu*>(QLatin1String(menu))->actions())
        if (a->isVisible() && a->data().toString() == method)
            return a;
    qFatal("no %s entry %s", menu, qPrintable(method));
}

} // namespace

class TestOutputCommands : public QObject {
    Q_OBJECT

    test::ProgramDirScope* m_dir = nullptr;
    test::ClockScope* m_clock = nullptr;

private slots:
    void initTestCase() {
        m_dir = new test::ProgramDirScope;
        m_clock = new test::ClockScope(test::Now);
        test::writeMonitorDatabase(MonitorDB::databasePath());
    }
    void cleanupTestCase() {
        delete m_clock;
        delete m_dir;
    }
    void cleanup() {
        ComponentRegistry::instance().remove(ComponentIds::exportEngine());
        MonitorDB::release();
    }

    void withoutTheEngineOnlyPlaceholders() {
        const test::DialogRecorderScope dialogs;
        auto w = test::nodeChart();
        QVERIFY(command(*w, "ExportMethod")->isVisible());
        QVERIFY(!command(*w, "ExportMethod")->isEnabled());
        // Print Preview reports the missing engine once.
        w->PrintPreviewSelection_Click();
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(dialogs->messages[0].text.startsWith("Cannot start Norvane Export Engine."));
    }

    void exportWritesWhereTheUserChose() {
        registerExportEngine();
        const test::DialogRecorderScope dialogs;
        auto w = test::nodeChart(8);
        QVERIFY(!command(*w, "ExportMethod")->isVisible());
        const QString target = m_dir->file(QStringLiteral("chart.pdf"));
        dialogs->fileAnswers.push_back(target);
        menuEntry(*w, "ExportMenu", QStringLiteral("PDF"))->trigger();
        QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->texts().join(u'|')));
        // The engine proposed the chart's title, made fit for a file name.
        QVERIFY2(dialogs->fileRequests[0].fileName.startsWith("Core__Router___10.0.0.8"),
                 qPrintable(dialogs->fileRequests[0].fileName));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(5), QByteArray("%PDF-"));
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
        auto w = test::nodeChart(8);
        const QStringList before = QDir(m_dir->path()).entryList(QDir::Files);
        menuEntry(*w, "SendToMenu", QStringLiteral("Open"))->trigger();
        ExportEngineServer::setLauncherForTests({});
        QCOMPARE(opened.size(), 1);
        QVERIFY2(opened[0].startsWith(QDir::tempPath() + QStringLiteral("/tarnvue-send-")) &&
                     opened[0].endsWith(QStringLiteral("/Core__Router___10.0.0.8.html")),
                 qPrintable(opened[0]));
        QVERIFY(QFile::exists(opened[0]));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), before);
        QCOMPARE(dialogs->messages.size(), launched ? 0 : 1);
    }

    void copyBitmapAndMetafile() {
        const test::DialogRecorderScope dialogs;
        auto w = test::nodeChart();
        command(*w, "CopyBitmapSelection")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), w->Chart()->size());
        // Wider than 16-bit twips reach.
        w->resize(2600, 700);
        QCoreApplication::processEvents();
        QVERIFY(w->Chart()->width() > 2200);
        command(*w, "CopyMetafileSelection")->trigger();
        QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat("image/svg+xml"));
        QVERIFY2(dialogs->messages.isEmpty(), qPrintable(dialogs->texts().join(u'|')));
    }

    // Twips at 15 to the pixel; whole pixels round halves to the even neighbour.
    void pictureSizes_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("pixels");
        QTest::addColumn<int>("whole");
        QTest::newRow("exact") << 9000.0 << 600.0 << 600;
        QTest::newRow("a fraction up") << 9009.0 << 600.6 << 601;
        QTest::newRow("a half down to even") << 9007.5 << 600.5 << 600;
        QTest::newRow("a half up to even") << 9022.5 << 601.5 << 602;
    }
    void pictureSizes() {
        QFETCH(double, twips);
        const PictureSize s = pictureSize(twips, 6000, 15, 15);
        QTEST(s.widthPixels, "pixels");
        QTEST(int(s.wholeWidthPixels()), "whole");
        QCOMPARE(int(s.wholeHeightPixels()), 400);
        QVERIFY_THROWS_EXCEPTION(Error, pictureSize(40000, 100, 1, 1).wholeWidthPixels());
    }
};

QTEST_MAIN(TestOutputCommands)
#include "test_outputcommands.moc"
