#include "RecordingDialogs.h"
#include "components/ComponentIds.h"
#include "core/ComponentRegistry.h"
#include "core/Error.h"
#include "core/ProgramDir.h"
#include "core/SafeFileName.h"
#include "output/ExportEngine.h"
#include "output/SendFolder.h"

#include <QDir>
#include <QMenu>
#include <QtTest>

using namespace tarnvue;
using namespace Qt::StringLiterals;

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

    QString settings() const {
        return u"%1|%2|%3|select=%4 skip=%5 quiet=%6"_s.arg(programName, title, fileFormat)
            .arg(QVariant(selectMethod).toString(), QVariant(skipFilenameSelection).toString(),
                 QVariant(quiet).toString());
    }
    Q_INVOKABLE bool ExportChart(QObject*, const QString& method, const QString& folder) {
        calls << u"ExportChart(%1,%2) "_s.arg(method, folder) + settings();
        targetFilename += u".written"_s;
        return result;
    }
    Q_INVOKABLE bool ExportText(const QString& text, const QString& method, const QString&) {
        calls << u"ExportText(%1,%2)"_s.arg(text, method);
        return result;
    }
    Q_INVOKABLE bool SendTo(const QString& file, const QString& key) {
        calls << u"SendTo(%1,%2)"_s.arg(file, key);
        return true;
    }
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
        engine.Title = u"router1"_s;
        engine.Paragraph = u"refused"_s;
        engine.TargetFilename = u"router1"_s;
        QObject chart;
        QVERIFY(engine.ExportChart(&chart, u"HTML"_s));
        QCOMPARE(FakeEngine::calls,
                 QStringList{QStringLiteral("ExportChart(HTML,%1) Norvane Tarnvue|router1|HTML|"
                                            "select=false skip=false quiet=false")
                                 .arg(programDirectory())});
        QCOMPARE(engine.TargetFilename, u"router1.written"_s);
        QCOMPARE(engine.Title, QString());
        QCOMPARE(engine.Paragraph, QString());

        FakeEngine::calls.clear();
        engine.PrintChart(&chart, true);
        engine.PrintChart(&chart);
        QVERIFY(FakeEngine::calls.value(0).startsWith(u"ExportChart(PREVIEW,"_s));
        QVERIFY(FakeEngine::calls.value(1).startsWith(u"ExportChart(PRINTER,"_s));
    }

    // Mail gets a web archive, a folder the page; either is written quietly
    // into a folder of its own under the temporary location and sent from
    // there.
    void exportAndSend_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("call");
        QTest::newRow("MailContent") << u"MailContent"_s << u"ExportChart(HTML,"_s;
        QTest::newRow("MAPI mail") << u"Outlook.MAPIMail"_s << u"ExportChart(MHTML,"_s;
        QTest::newRow("a folder") << u"MyDocuments"_s << u"ExportChart(HTML,"_s;
    }
    void exportAndSend() {
        QFETCH(QString, key);
        QFETCH(QString, call);
        ExportEngine engine;
        QObject chart;
        QVERIFY(engine.ExportAndSendChart(&chart, key));
        const bool mail = key.contains("mail"_L1, Qt::CaseInsensitive);
        QVERIFY2(called(call).endsWith(
                     u"|%1|select=%2 skip=true quiet=true"_s.arg(mail ? "MHTML" : "HTML")
                         .arg(QVariant(key.contains(u'.') || !mail).toString())),
                 qPrintable(FakeEngine::calls.join(u'\n')));
        const QString sent = called(u"SendTo("_s);
        QVERIFY2(sent.startsWith(u"SendTo(%1/%2"_s.arg(QDir::tempPath(), SendFolder::prefix())) &&
                     sent.endsWith(u"Export.written,%1)"_s.arg(key)),
                 qPrintable(sent));
        QCOMPARE(engine.FileFormat, QString());
        QVERIFY(!engine.Quiet);
    }

    void failedExportIsNotSent() {
        FakeEngine::result = false;
        ExportEngine engine;
        QObject chart;
        // Quiet as a send is, its failure reaches the command.
        QVERIFY_THROWS_EXCEPTION(Error, engine.ExportAndSendChart(&chart, u"MailContent"_s));
        QVERIFY(called(u"SendTo("_s).isEmpty());
        QVERIFY(!engine.SkipFilenameSelection);
    }

    void textGoesOutAsText() {
        ExportEngine engine;
        engine.ExportAndSendText(u"hello"_s, u"Desktop"_s);
        engine.FileFormat = u"html"_s;
        engine.ExportAndSendText(u"hello"_s, u"x.MapiMail"_s);
        QCOMPARE(FakeEngine::calls.filter(u"ExportText"_s),
                 (QStringList{"ExportText(hello,txt)", "ExportText(hello,MHTML)"}));
    }

    // Without an engine menus and queries stay silent; a command says so
    // once and keeps its settings.
    void missingEngine() {
        ComponentRegistry::instance().remove(ComponentIds::exportEngine());
        const test::DialogRecorderScope dialogs;
        ExportEngine engine;
        QMenu menu;
        QVERIFY(engine.LoadSendToMenu(&menu, menu.addAction(u"none"_s)).empty());
        QVERIFY(engine.ExportMethods(3).isEmpty());
        QVERIFY(dialogs->messages.isEmpty());
        engine.Title = u"kept"_s;
        QObject chart;
        QVERIFY(!engine.ExportChart(&chart, u"HTML"_s));
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(engine.Title, u"kept"_s);
        QVERIFY(!engine.ExportAndSendChart(&chart, u"MailContent"_s));
        QCOMPARE(dialogs->messages.size(), 2);
    }

    void safeFileNames_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("stem");
        QTest::newRow("umlaut") << u"Büro PC"_s << u"B_ro_PC"_s;
        QTest::newRow("empty gives the fallback") << u""_s << u"fallback"_s;
        QTest::newRow("no hidden file") << u".hidden"_s << u"_hidden"_s;
        QTest::newRow("cut to fit a file name") << QString(300, u'x') << QString(200, u'x');
    }
    void safeFileNames() {
        QFETCH(QString, title);
        QTEST(SafeFileName(title, u"fallback"_s), "stem");
    }
};

QTEST_MAIN(TestExportClient)
#include "test_exportclient.moc"
