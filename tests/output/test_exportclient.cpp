#include "RecordingDialogs.h"
#include "TestEnvironment.h"
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

// A stand-in export engine that keeps, in order, every setting written and
// every operation called. It has no "Paragraph": that write is refused.
class FakeEngine : public QObject {
    Q_OBJECT
#define FAKE_SETTING(Type, Name)                                                                   \
    Q_PROPERTY(Type Name READ get##Name WRITE set##Name)                                           \
public:                                                                                            \
    Type get##Name() const {                                                                       \
        return m_##Name;                                                                           \
    }                                                                                              \
    void set##Name(const Type& value) {                                                            \
        m_##Name = value;                                                                          \
        log() << QStringLiteral(#Name "=") + QVariant::fromValue(value).toString();                \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    Type m_##Name{};

    FAKE_SETTING(QString, ProgramName)
    FAKE_SETTING(QString, ProgramVersion)
    FAKE_SETTING(QString, Title)
    FAKE_SETTING(QString, SubTitle)
    FAKE_SETTING(QString, Footer)
    FAKE_SETTING(int, ImageHeight)
    FAKE_SETTING(int, ImageWidth)
    FAKE_SETTING(QString, ImageFormat)
    FAKE_SETTING(QString, FileFormat)
    FAKE_SETTING(int, Orientation)
    FAKE_SETTING(QString, TargetFilename)
    FAKE_SETTING(QString, InitDir)
    FAKE_SETTING(QString, ColumnList)
    FAKE_SETTING(bool, SelectMethod)
    FAKE_SETTING(bool, SkipFieldSelection)
    FAKE_SETTING(bool, SkipFilenameSelection)
    FAKE_SETTING(bool, Quiet)
    FAKE_SETTING(QString, DefaultPrinter)
#undef FAKE_SETTING

public:
    static QStringList& log() {
        static QStringList entries;
        return entries;
    }
    static inline bool exportResult = true;
    static inline QVariantList methods;
    static inline QVariantList sendTo;

    Q_INVOKABLE bool ExportChart(QObject*, const QString& method, const QString& folder) {
        log() << QStringLiteral("ExportChart(%1,%2)").arg(method, folder);
        setTargetFilename(m_TargetFilename + QStringLiteral(".written"));
        return exportResult;
    }
    Q_INVOKABLE bool ExportText(const QString& text, const QString& method, const QString&) {
        log() << QStringLiteral("ExportText(%1,%2)").arg(text, method);
        return exportResult;
    }
    Q_INVOKABLE bool SendTo(const QString& file, const QString& key) {
        log() << QStringLiteral("SendTo(%1,%2)").arg(file, key);
        return true;
    }
    Q_INVOKABLE QVariantList ExportMethods(int type) {
        log() << QStringLiteral("ExportMethods(%1)").arg(type);
        return methods;
    }
    Q_INVOKABLE QVariantList SendToMethods() {
        return sendTo;
    }
    Q_INVOKABLE QString MethodName(const QString& key) {
        return key + QStringLiteral(" name");
    }
};

QStringList settingsWritten() {
    QStringList names;
    for (const QString& entry : FakeEngine::log()) {
        if (entry.contains(QLatin1Char('=')))
            names << entry.section(QLatin1Char('='), 0, 0);
    }
    return names;
}

QString logged(const QString& prefix) {
    for (const QString& entry : FakeEngine::log()) {
        if (entry.startsWith(prefix))
            return entry;
    }
    return {};
}

QVariantList pairs(std::initializer_list<std::pair<const char*, const char*>> list) {
    QVariantList result;
    for (const auto& [key, name] : list)
        result.append(QVariant(QVariantList{QLatin1String(key), QLatin1String(name)}));
    return result;
}

} // namespace

class TestExportClient : public QObject {
    Q_OBJECT

    void useFake() {
        ComponentRegistry::instance().add(ComponentIds::exportEngine(),
                                          [] { return std::make_unique<FakeEngine>(); });
    }

private slots:
    void init() {
        FakeEngine::log().clear();
        FakeEngine::exportResult = true;
        useFake();
    }
    void cleanup() { ComponentRegistry::instance().remove(ComponentIds::exportEngine()); }

    void settingsArePushedInOrderAndReset() {
        ExportEngine engine;
        engine.Title = QStringLiteral("router1");
        engine.TargetFilename = QStringLiteral("router1");
        QObject chart;
        QVERIFY(engine.ExportChart(&chart, QStringLiteral("HTML")));
        // Paragraph is refused by this engine and skipped; the rest in order.
        QCOMPARE(settingsWritten().mid(0, 18),
                 (QStringList{"ProgramName", "ProgramVersion", "Title", "SubTitle", "Footer",
                              "ImageHeight", "ImageWidth", "ImageFormat", "FileFormat",
                              "Orientation", "TargetFilename", "InitDir", "ColumnList",
                              "SelectMethod", "SkipFieldSelection", "SkipFilenameSelection",
                              "Quiet", "DefaultPrinter"}));
        QCOMPARE(logged(QStringLiteral("ProgramName=")),
                 QStringLiteral("ProgramName=Norvane Tarnvue"));
        QCOMPARE(logged(QStringLiteral("FileFormat=")), QStringLiteral("FileFormat=HTML"));
        QCOMPARE(logged(QStringLiteral("ImageFormat=")), QStringLiteral("ImageFormat=GIF"));
        QCOMPARE(logged(QStringLiteral("ExportChart(")),
                 QStringLiteral("ExportChart(HTML,%1)").arg(programDirectory()));
        // Back at the defaults, but for the file the engine wrote.
        QCOMPARE(engine.TargetFilename, QStringLiteral("router1.written"));
        QCOMPARE(engine.Title, QString());
        QCOMPARE(engine.ImageFormat, QStringLiteral("GIF"));

        // A second export without a title goes out with an empty title.
        FakeEngine::log().clear();
        engine.ExportChart(&chart, QStringLiteral("PDF"));
        QCOMPARE(logged(QStringLiteral("Title=")), QStringLiteral("Title="));
        QCOMPARE(logged(QStringLiteral("FileFormat=")), QStringLiteral("FileFormat=PDF"));
    }

    void printUsesThePrinterMethods() {
        ExportEngine engine;
        QObject chart;
        engine.PrintChart(&chart, true);
        QVERIFY(logged(QStringLiteral("ExportChart("))
                    .startsWith(QStringLiteral("ExportChart(PREVIEW,")));
        FakeEngine::log().clear();
        engine.PrintChart(&chart);
        QVERIFY(logged(QStringLiteral("ExportChart("))
                    .startsWith(QStringLiteral("ExportChart(PRINTER,")));
    }

    void sendToMail_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("fileFormat");
        QTest::addColumn<QString>("selectMethod");
        QTest::newRow("MailContent") << "MailContent"
                                     << "HTML"
                                     << "MHTML"
                                     << "false";
        QTest::newRow("mailcontent in lower case") << "mailcontent"
                                                   << "HTML"
                                                   << "MHTML"
                                                   << "false";
        QTest::newRow("a MAPI mail target") << "Outlook.MAPIMail"
                                            << "MHTML"
                                            << "MHTML"
                                            << "true";
        QTest::newRow("a folder") << "MyDocuments"
                                  << "HTML"
                                  << "HTML"
                                  << "true";
    }
    void sendToMail() {
        QFETCH(QString, key);
        QFETCH(QString, method);
        QFETCH(QString, fileFormat);
        QFETCH(QString, selectMethod);
        ExportEngine engine;
        QObject chart;
        QVERIFY(engine.ExportAndSendChart(&chart, key));
        QVERIFY(logged(QStringLiteral("ExportChart("))
                    .startsWith(QStringLiteral("ExportChart(%1,").arg(method)));
        QCOMPARE(logged(QStringLiteral("FileFormat=")), QStringLiteral("FileFormat=") + fileFormat);
        QCOMPARE(logged(QStringLiteral("SelectMethod=")),
                 QStringLiteral("SelectMethod=") + selectMethod);
        QCOMPARE(logged(QStringLiteral("SkipFilenameSelection=")),
                 QStringLiteral("SkipFilenameSelection=true"));
        QCOMPARE(logged(QStringLiteral("Quiet=")), QStringLiteral("Quiet=true"));
        // The file the engine wrote is what is sent, from a folder of its own
        // under the temporary location, not the program's.
        const QString sent = logged(QStringLiteral("SendTo("));
        QVERIFY2(sent.startsWith(
                     QStringLiteral("SendTo(%1/%2").arg(QDir::tempPath(), SendFolder::prefix())) &&
                     sent.endsWith(QStringLiteral("Export.written,%1)").arg(key)),
                 qPrintable(sent));
        QCOMPARE(engine.FileFormat, QString());
        QVERIFY(!engine.Quiet);
    }

    void failedExportIsNotSent() {
        FakeEngine::exportResult = false;
        ExportEngine engine;
        QObject chart;
        // Quiet as a send is, its failure reaches the command.
        QVERIFY_THROWS_EXCEPTION(Error,
                                 engine.ExportAndSendChart(&chart, QStringLiteral("MailContent")));
        QVERIFY(logged(QStringLiteral("SendTo(")).isEmpty());
        QVERIFY(!engine.SkipFilenameSelection);
    }

    void textGoesOutAsText() {
        ExportEngine engine;
        engine.ExportAndSendText(QStringLiteral("hello"), QStringLiteral("Desktop"));
        QCOMPARE(logged(QStringLiteral("ExportText(")), QStringLiteral("ExportText(hello,txt)"));
        FakeEngine::log().clear();
        engine.FileFormat = QStringLiteral("html");
        engine.ExportAndSendText(QStringLiteral("hello"), QStringLiteral("x.MapiMail"));
        QCOMPARE(logged(QStringLiteral("ExportText(")), QStringLiteral("ExportText(hello,MHTML)"));
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
        QFETCH(QString, method);
        QCOMPARE(ExportEngine::BestExportMethod(type, key), method);
    }

    void fileNamePart() {
        QCOMPARE(ExportEngine::FileNamePart(QStringLiteral("C:\\Program Files\\Excel.exe"), false),
                 QStringLiteral("Excel.exe"));
        QCOMPARE(ExportEngine::FileNamePart(QStringLiteral("/usr/bin/mail.sh"), true),
                 QStringLiteral("mail"));
        QCOMPARE(ExportEngine::FileNamePart(QStringLiteral("SendTo:MailContent"), false),
                 QStringLiteral("MailContent"));
    }

    void menus() {
        QMenu menu;
        QAction* placeholder = menu.addAction(QStringLiteral("no export methods installed"));
        placeholder->setEnabled(false);
        menu.addSeparator();
        menu.addAction(QStringLiteral("Export Data from Chart ..."));
        ExportEngine engine;

        // No methods: only the placeholder.
        FakeEngine::methods.clear();
        QVERIFY(engine.LoadExportsMenu(&menu, placeholder, {}, 3).empty());
        QVERIFY(placeholder->isVisible());
        QCOMPARE(logged(QStringLiteral("ExportMethods(")), QStringLiteral("ExportMethods(3)"));

        FakeEngine::methods = pairs({{"HTML", "Web Page"}, {"PDF", "PDF Document"}});
        const auto added = engine.LoadExportsMenu(&menu, placeholder, {}, 3);
        QCOMPARE(added.size(), std::size_t(2));
        QVERIFY(!placeholder->isVisible());
        QCOMPARE(menu.actions().at(1)->text(), QStringLiteral("Web Page"));
        QCOMPARE(menu.actions().at(2)->data().toString(), QStringLiteral("PDF"));
        QCOMPARE(menu.actions().at(2)->objectName(), QStringLiteral("Export:PDF"));
        QVERIFY(menu.actions().at(3)->isSeparator());
        QCOMPARE(engine.MethodName(QStringLiteral("PDF")), QStringLiteral("PDF name"));
    }

    void missingEngine() {
        ComponentRegistry::instance().remove(ComponentIds::exportEngine());
        const test::DialogRecorderScope dialogs;
        ExportEngine engine;
        QMenu menu;
        QAction* placeholder = menu.addAction(QStringLiteral("no export methods installed"));
        // Menus and queries stay silent.
        QVERIFY(engine.LoadExportsMenu(&menu, placeholder, {}, 3).empty());
        QVERIFY(engine.LoadSendToMenu(&menu, placeholder).empty());
        QVERIFY(engine.ExportMethods(3).isEmpty());
        QVERIFY(placeholder->isVisible());
        QVERIFY(dialogs->messages.isEmpty());
        // A command says so once, and keeps its settings.
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
        QVERIFY(!engine.SendTo(QStringLiteral("a"), QStringLiteral("b")).isValid());
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
        QFETCH(QString, stem);
        QCOMPARE(SafeFileName(title, QStringLiteral("fallback")), stem);
    }
};

QTEST_MAIN(TestExportClient)
#include "test_exportclient.moc"
