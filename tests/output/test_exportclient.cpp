#include "RecordingDialogs.h"
#include "components/ComponentIds.h"
#include "core/ComponentRegistry.h"
#include "core/Error.h"
#include "core/ProgramDir.h"
#include "core/SafeFileName.h"
#include "output/ExportEngine.h"
#include "output/SendFolder.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QtTest>

using namespace tarnvue;

namespace {

// A stand-in export engine that logs every call with the settings it held
// at the time. It declares no "Paragraph", so that setting is refused.
class FakeEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProgramName MEMBER programName)
    Q_PROPERTY(QString Title MEMBER title)
    Q_PROPERTY(QString FileFormat MEMBER fileFormat)
    Q_PROPERTY(QString TargetFilename MEMBER targetFilename)
    Q_PROPERTY(bool SelectMethod MEMBER selectMethod)
    Q_PROPERTY(bool SkipFilenameSelection MEMBER skipFilenameSelection)
    Q_PROPERTY(bool Quiet MEMBER quiet)

public:
    QString programName, title, fileFormat, targetFilename;
    bool selectMethod = false, skipFilenameSelection = false, quiet = false;
    static inline QStringList calls;
    static inline bool result = true;
    static inline QVariantList methods;

    QString settings() const {
        return QStringLiteral("%1|%2|%3|select=%4 skip=%5 quiet=%6")
            .arg(programName, title, fileFormat)
            .arg(QVariant(selectMethod).toString(), QVariant(skipFilenameSelection).toString(),
                 QVariant(quiet).toString());
    }
    Q_INVOKABLE bool ExportChart(QObject*, const QString& method, const QString& folder) {
        calls << QStringLiteral("ExportChart(%1,%2) ").arg(method, folder) + settings();
        targetFilename += QStringLiteral(".written");
        return result;
    }
    Q_INVOKABLE bool ExportText(const QString& text, const QString& method, const QString&) {
        calls << QStringLiteral("ExportText(%1,%2)").arg(text, method);
        return result;
    }
    Q_INVOKABLE bool SendTo(const QString& file, const QString& key) {
        calls << QStringLiteral("SendTo(%1,%2)").arg(file, key);
        return true;
    }
    Q_INVOKABLE QVariantList ExportMethods(int type) {
        calls << QStringLiteral("ExportMethods(%1)").arg(type);
        return methods;
    }
    Q_INVOKABLE QVariantList SendToMethods() { return {}; }
    Q_INVOKABLE QString MethodName(const QString& key) { return key + QStringLiteral(" name"); }
};

QString called(const QString& prefix) {
    for (const QString& call : FakeEngine::calls) {
        if (call.startsWith(prefix))
            return call;
    }
    return {};
}

} // namespace

class TestExportClient : public QObject {
    Q_OBJECT

private slots:
    void init() {
        FakeEngine::calls.clear();
        FakeEngine::result = true;
        ComponentRegistry::instance().add(ComponentIds::exportEngine(),
                                          [] { return std::make_unique<FakeEngine>(); });
    }
    void cleanup() { ComponentRegistry::instance().remove(ComponentIds::exportEngine()); }

    // The engine gets the job's settings (a refused one is skipped), and the
    // client is back at its defaults afterwards but for the file written.
    void settingsReachTheEngineAndReset() {
        ExportEngine engine;
        engine.Title = QStringLiteral("router1");
        engine.Paragraph = QStringLiteral("refused");
        engine.TargetFilename = QStringLiteral("router1");
        QObject chart;
        QVERIFY(engine.ExportChart(&chart, QStringLiteral("HTML")));
        QCOMPARE(FakeEngine::calls,
                 QStringList{QStringLiteral("ExportChart(HTML,%1) Norvane Tarnvue|router1|HTML|"
                                            "select=false skip=false quiet=false")
                                 .arg(programDirectory())});
        QCOMPARE(engine.TargetFilename, QStringLiteral("router1.written"));
        QCOMPARE(engine.Title, QString());
        QCOMPARE(engine.Paragraph, QString());

        FakeEngine::calls.clear();
        QVERIFY(engine.ExportChart(&chart, QStringLiteral("PDF")));
        engine.PrintChart(&chart, true);
        engine.PrintChart(&chart);
        QCOMPARE(FakeEngine::calls.value(0),
                 QStringLiteral("ExportChart(PDF,%1) Norvane Tarnvue||PDF|"
                                "select=false skip=false quiet=false")
                     .arg(programDirectory()));
        QVERIFY(FakeEngine::calls.value(1).startsWith(QStringLiteral("ExportChart(PREVIEW,")));
        QVERIFY(FakeEngine::calls.value(2).startsWith(QStringLiteral("ExportChart(PRINTER,")));
    }

    // Mail gets a web archive, a folder the page; either is written quietly
    // into a folder of its own under the temporary location and sent from
    // there.
    void exportAndSend_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("call");
        QTest::newRow("MailContent") << "MailContent"
                                     << "ExportChart(HTML,";
        QTest::newRow("mailcontent") << "mailcontent"
                                     << "ExportChart(HTML,";
        QTest::newRow("MAPI mail") << "Outlook.MAPIMail"
                                   << "ExportChart(MHTML,";
        QTest::newRow("a folder") << "MyDocuments"
                                  << "ExportChart(HTML,";
    }
    void exportAndSend() {
        QFETCH(QString, key);
        QFETCH(QString, call);
        ExportEngine engine;
        QObject chart;
        QVERIFY(engine.ExportAndSendChart(&chart, key));
        const bool mail = key.contains(QLatin1String("mail"), Qt::CaseInsensitive);
        QVERIFY2(called(call).endsWith(QStringLiteral("|%1|select=%2 skip=true quiet=true")
                                           .arg(mail ? "MHTML" : "HTML")
                                           .arg(QVariant(key.contains(u'.') || !mail).toString())),
                 qPrintable(FakeEngine::calls.join(u'\n')));
        const QString sent = called(QStringLiteral("SendTo("));
        QVERIFY2(sent.startsWith(
                     QStringLiteral("SendTo(%1/%2").arg(QDir::tempPath(), SendFolder::prefix())) &&
                     sent.endsWith(QStringLiteral("Export.written,%1)").arg(key)),
                 qPrintable(sent));
        QCOMPARE(engine.FileFormat, QString());
        QVERIFY(!engine.Quiet);
    }

    void failedExportIsNotSent() {
        FakeEngine::result = false;
        ExportEngine engine;
        QObject chart;
        // Quiet as a send is, its failure reaches the command.
        QVERIFY_THROWS_EXCEPTION(Error,
                                 engine.ExportAndSendChart(&chart, QStringLiteral("MailContent")));
        QVERIFY(called(QStringLiteral("SendTo(")).isEmpty());
        QVERIFY(!engine.SkipFilenameSelection);
    }

    void textGoesOutAsText() {
        ExportEngine engine;
        engine.ExportAndSendText(QStringLiteral("hello"), QStringLiteral("Desktop"));
        engine.FileFormat = QStringLiteral("html");
        engine.ExportAndSendText(QStringLiteral("hello"), QStringLiteral("x.MapiMail"));
        QCOMPARE(FakeEngine::calls.filter(QStringLiteral("ExportText")),
                 (QStringList{"ExportText(hello,txt)", "ExportText(hello,MHTML)"}));
    }

    void bestExportMethod_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("method");
        QTest::newRow("table") << 0 << "Desktop"
                               << "HTML";
        QTest::newRow("text") << 1 << "Desktop"
                              << "TXT";
        QTest::newRow("picture to MAPI") << 2 << "a.MAPIMAIL"
                                         << "MHTML";
        QTest::newRow("chart") << 3 << "MailContent"
                               << "HTML";
        QTest::newRow("chart to MAPI, any case") << 3 << "Outlook.mapimail"
                                                 << "MHTML";
        QTest::newRow("type 4") << 4 << "Desktop"
                                << "";
        QTest::newRow("type -1") << -1 << "Desktop"
                                 << "";
    }
    void bestExportMethod() {
        QFETCH(int, type);
        QFETCH(QString, key);
        QTEST(ExportEngine::BestExportMethod(type, key), "method");
    }

    void menus() {
        QMenu menu;
        QAction* placeholder = menu.addAction(QStringLiteral("no export methods installed"));
        menu.addSeparator();
        menu.addAction(QStringLiteral("Export Data from Chart ..."));
        ExportEngine engine;
        // No methods: only the placeholder.
        FakeEngine::methods.clear();
        QVERIFY(engine.LoadExportsMenu(&menu, placeholder, {}, 3).empty());
        QVERIFY(placeholder->isVisible());
        QCOMPARE(called(QStringLiteral("ExportMethods(")), QStringLiteral("ExportMethods(3)"));

        FakeEngine::methods = {QVariantList{"HTML", "Web Page"}, QVariantList{"PDF", "PDF File"}};
        QCOMPARE(engine.LoadExportsMenu(&menu, placeholder, {}, 3).size(), std::size_t(2));
        QVERIFY(!placeholder->isVisible());
        QCOMPARE(menu.actions().at(1)->text(), QStringLiteral("Web Page"));
        QCOMPARE(menu.actions().at(2)->data().toString(), QStringLiteral("PDF"));
        QVERIFY(menu.actions().at(3)->isSeparator());
    }

    // Without an engine menus and queries stay silent; a command says so
    // once and keeps its settings.
    void missingEngine() {
        ComponentRegistry::instance().remove(ComponentIds::exportEngine());
        const test::DialogRecorderScope dialogs;
        ExportEngine engine;
        QMenu menu;
        QAction* placeholder = menu.addAction(QStringLiteral("no export methods installed"));
        QVERIFY(engine.LoadExportsMenu(&menu, placeholder, {}, 3).empty());
        QVERIFY(engine.LoadSendToMenu(&menu, placeholder).empty());
        QVERIFY(engine.ExportMethods(3).isEmpty());
        QVERIFY(dialogs->messages.isEmpty());
        engine.Title = QStringLiteral("kept");
        QObject chart;
        QVERIFY(!engine.ExportChart(&chart, QStringLiteral("HTML")));
        QCOMPARE(dialogs->messages.size(), 1);
        QVERIFY(dialogs->messages[0].text.startsWith(QStringLiteral(
            "Cannot start Norvane Export Engine.\r\nYou may need to reinstall the Norvane "
            "software.\r\n\r\nError= ")));
        QCOMPARE(engine.Title, QStringLiteral("kept"));
        QVERIFY(!engine.ExportAndSendChart(&chart, QStringLiteral("MailContent")));
        QCOMPARE(dialogs->messages.size(), 2);
    }

    void safeFileNames_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("stem");
        QTest::newRow("address and name") << "10.0.0.1 / Core: Router"
                                          << "10.0.0.1___Core__Router";
        QTest::newRow("brackets") << "Mail-Server (Berlin)"
                                  << "Mail-Server__Berlin_";
        QTest::newRow("umlaut") << "Büro PC"
                                << "B_ro_PC";
        QTest::newRow("kept characters") << "a_b-c.d@e"
                                         << "a_b-c.d@e";
        QTest::newRow("empty gives the fallback") << ""
                                                  << "fallback";
        QTest::newRow("no hidden file") << ".hidden"
                                        << "_hidden";
        QTest::newRow("placement marker") << "||Core Router"
                                          << "Core_Router";
        QTest::newRow("cut to fit a file name") << QString(300, u'x') << QString(200, u'x');
    }
    void safeFileNames() {
        QFETCH(QString, title);
        QTEST(SafeFileName(title, QStringLiteral("fallback")), "stem");
    }
};

QTEST_MAIN(TestExportClient)
#include "test_exportclient.moc"
