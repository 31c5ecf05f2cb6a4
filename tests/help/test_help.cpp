#include "RecordingDialogs.h"
#include "TestEnvironment.h"
#include "components/AboutDialogComponent.h"
#include "components/BrowserComponent.h"
#include "components/ComponentIds.h"
#include "components/StandardComponents.h"
#include "core/ComponentRegistry.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"
#include "help/AboutBox.h"
#include "help/FileVerInfo.h"
#include "help/HelpLinks.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <QtTest>

using namespace tarnvue;

namespace {

void setHelpDirectory(const QVariant& value) {
    QSettings settings(QStringLiteral("Norvane"), QStringLiteral("Gearloft"));
    if (value.isValid())
        settings.setValue(QStringLiteral("HelpDirectory"), value);
    else
        settings.remove(QStringLiteral("HelpDirectory"));
    settings.sync();
}

const QList<std::pair<const char*, void (*)(QWidget*)>> WebCommands{
    {"Contents", showHelpContents},
    {"Help on Tarnvue", showHelpOnTarnvue},
    {"dialog Help", showDialogHelp},
    {"FAQ", openFaqPage}};

// 52 bytes in the shape of a fixed version record: signature, structure
// version, file version, product version (four 16-bit numbers each), zeros.
QByteArray record(QList<quint16> v, quint32 structureVersion = 0x00010000u) {
    // Made at run time: a record folded into this program's constant data
    // would itself be found by a scan of the test program.
    volatile quint32 signature = 0xFEEF04BDu;
    QByteArray bytes(52, '\0');
    qToLittleEndian(quint32(signature), bytes.data());
    qToLittleEndian(structureVersion, bytes.data() + 4);
    for (int i = 0; i < 8; ++i) // each pair as one word, the first number its high half
        qToLittleEndian(v[i ^ 1], bytes.data() + 8 + 2 * i);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The eight numbers as read, file version then product version.
QString numbers(const FileVerInfo& i) {
    const QList<int> n{i.FileVersionMajor(),      i.FileVersionMinor(),
                       i.FileVersionPrivate(),    i.FileVersionBuild().toInt(),
                       i.ProductVersionMajor(),   i.ProductVersionMinor(),
                       i.ProductVersionPrivate(), i.ProductVersionBuild()};
    QStringList shown;
    for (int v : n)
        shown << QString::number(v);
    return shown.mid(0, 4).join('.') + ' ' + shown.mid(4).join('.');
}

AboutDialog* shownAboutDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<AboutDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

// The help commands, the version record reader and the About box.
class TestHelp : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    QTemporaryDir m_dir;
    std::unique_ptr<test::ProgramDirScope> m_programDir;
    QList<QUrl> m_desktop; // what the desktop was asked to open
    bool m_desktopRefuses = false;
    QList<std::pair<QString, int>> m_viewer;
    bool m_viewerStarts = false;

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        m_programDir = std::make_unique<test::ProgramDirScope>();
        BrowserComponent::setUrlOpener([this](const QUrl& url) {
            m_desktop << url;
            return !m_desktopRefuses && !url.toString().contains(QStringLiteral("refused"));
        });
        setCompiledHelpViewer([this](const QString& file, int context) {
            m_viewer.append({file, context});
            return m_viewerStarts;
        });
    }
    void init() {
        registerStandardComponents();
        ComponentRegistry::instance().remove(ComponentIds::aboutDialog());
        m_desktopRefuses = false;
        m_desktop.clear();
        m_viewer.clear();
        setHelpFile(programFile(QStringLiteral("Help/Norvane.chm")));
    }

    // Each command opens its page through the browser component; a page it
    // cannot show is reported, and without the component the user is told
    // where to get it.
    void webCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QVariant>("folder"); // the family's help folder setting
        QTest::addColumn<QString>("address");
        const QString topic = QStringLiteral("/default.htm?context=GearloftDoc&topic=");
        const QString pages = "file://" + programDirectory() + "/Help" + topic;
        const QStringList addresses{pages + "GearloftPHIntroducingTools",
                                    pages + "GearloftPHPollwatchingToolsTarnvue",
                                    pages + "GearloftPHIntroducingTools", faqAddress()};
        for (int i = 0; i < WebCommands.size(); ++i)
            QTest::newRow(WebCommands[i].first) << i << QVariant() << addresses[i];
        // The help folder is used exactly as stored, when it is a text.
        const QString tarnvue = topic + "GearloftPHPollwatchingToolsTarnvue";
        QTest::newRow("help folder")
            << 1 << QVariant("/srv/help/") << "file:///srv/help/" + tarnvue;
        QTest::newRow("help folder ends at a NUL")
            << 1 << QVariant(QString("/srv/help") + QChar(0) + "junk")
            << "file:///srv/help" + tarnvue;
        QTest::newRow("help folder as bytes")
            << 1 << QVariant(QByteArray("/srv/b")) << addresses[1];
    }
    void webCommands() {
        QFETCH(int, command);
        QFETCH(QVariant, folder);
        QFETCH(QString, address);
        setHelpDirectory(folder);
        const test::DialogRecorderScope rec;
        WebCommands[command].second(nullptr);
        QCOMPARE(m_desktop, QList<QUrl>{QUrl(address, QUrl::TolerantMode)});
        QVERIFY(rec->messages.isEmpty());

        m_desktopRefuses = true;
        WebCommands[command].second(nullptr);
        ComponentRegistry::instance().remove(ComponentIds::browser());
        WebCommands[command].second(nullptr);
        QCOMPARE(rec->texts(),
                 (QStringList{"Web Page not Opened", "Norvane Browser is not installed.\r\nVisit "
                                                     "https://www.norvane.com for a copy."}));
        QCOMPARE(rec->messages[0].title, QStringLiteral("URL Failed"));
        QCOMPARE(rec->messages[1].title, programTitle());
        QCOMPARE(rec->messages[1].icon, MessageIcon::Exclamation);
    }

    // F1 opens the user guide's page on the desktop, browser component or
    // not; "Help on Pollwatch" prefers the compiled help file's viewer.
    void helpKeys() {
        ComponentRegistry::instance().remove(ComponentIds::browser());
        const test::DialogRecorderScope rec;
        showHelpContext(WindowHelpContext);
        QCOMPARE(m_desktop, QList{QUrl::fromLocalFile(programFile("Help/tarnvue.htm"))});
        QVERIFY(QDir(programDirectory()).mkpath(QStringLiteral("Help")));
        QFile chm(helpFile());
        QVERIFY(chm.open(QIODevice::WriteOnly));
        chm.close();
        m_viewerStarts = true;
        showHelpOnPollwatch();
        QCOMPARE(m_viewer, QList{std::make_pair(helpFile(), int(PollwatchHelpContext))});
        QCOMPARE(m_desktop.size(), 1);
        m_viewerStarts = false; // a viewer that does not start: the page instead
        showHelpOnPollwatch();
        chm.remove();
        QCOMPARE(m_desktop.last(), QUrl::fromLocalFile(programFile("Help/pollwatch.htm")));
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // The browser component shows pages (files and web pages) and nothing
    // else: other schemes would start whatever handler the desktop has.
    void browserComponentOpensPages_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("help page") << "file:///srv/help/default.htm?context=C&topic=T" << true;
        QTest::newRow("with a space") << "file:///srv/my help/default.htm?context=C" << true;
        QTest::newRow("web page") << "https://www.norvane.com/faq/" << true;
        QTest::newRow("desktop refuses") << "https://www.norvane.com/refused" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("relative") << "default.htm?context=C" << false;
        QTest::newRow("script") << "javascript:alert(1)" << false;
        QTest::newRow("web without host") << "http:///faq" << false;
    }
    void browserComponentOpensPages() {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        auto browser = ComponentRegistry::instance().create(ComponentIds::browser());
        QVERIFY(qobject_cast<BrowserComponent*>(browser.get()));
        bool result = !opened;
        QVERIFY(QMetaObject::invokeMethod(browser.get(), "Browse", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, result), Q_ARG(QString, address)));
        QCOMPARE(result, opened);
        // The desktop is asked only for pages.
        QCOMPARE(m_desktop.size(), opened || address.contains(QLatin1String("refused")) ? 1 : 0);
        if (opened)
            QCOMPARE(m_desktop[0], QUrl(address, QUrl::TolerantMode));
    }

    // The first record whose structure version is 1.0, wherever it lies;
    // halves above 32767 read as negative numbers. Without one, every
    // number is -1, also after an earlier read found one.
    void versionRecord_data() {
        QTest::addColumn<QByteArray>("content"); // "folder" or "missing": no file
        QTest::addColumn<QString>("expected");
        const QByteArray v = record({2, 5, 1, 9, 3, 1, 0, 7});
        const QString found = QStringLiteral("2.5.1.9 3.1.0.7");
        const QString none = QStringLiteral("-1.-1.-1.-1 -1.-1.-1.-1");
        QTest::newRow("record alone") << v << found;
        QTest::newRow("at an odd offset") << QByteArray(4099, 'x') + v << found;
        QTest::newRow("across two read pieces")
            << QByteArray((1 << 20) - 21, 'x') + v + QByteArray(10, 'x') << found;
        QTest::newRow("after another structure's signature")
            << record({9, 9, 9, 9, 9, 9, 9, 9}, 0x00020000u) + QByteArray(3, 'x') + v << found;
        QTest::newRow("first of two") << v + record({1, 1, 1, 1, 1, 1, 1, 1}) << found;
        QTest::newRow("limits") << record({32767, 32768, 65535, 0, 0, 65535, 32768, 32767})
                                << "32767.-32768.-1.0 0.-1.-32768.32767";
        QTest::newRow("plain data") << QByteArray(70000, 'x') << none;
        QTest::newRow("missing file") << QByteArray("missing") << none;
        QTest::newRow("folder") << QByteArray("folder") << none;
        QTest::newRow("record cut short") << QByteArray(1000, 'x') + v.left(51) << none;
        QTest::newRow("no structure version") << record({3, 1, 0, 7, 3, 1, 0, 7}, 1) << none;
        // The reader's own machine code holds the signature as a constant.
        QTest::newRow("the reader's own code") << QByteArray("library") << none;
    }
    void versionRecord() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString good = m_dir.filePath(QStringLiteral("good.bin"));
        QVERIFY(writeFile(good, record({1, 2, 3, 4, 5, 6, 7, 8})));
        QString path = m_dir.filePath(QStringLiteral("tarnvue"));
        QFile::remove(path);
        if (content == "folder")
            path = m_dir.path();
        else if (content == "library")
            path = QStringLiteral(TARNVUE_HELP_LIBRARY);
        else if (content != "missing")
            QVERIFY(writeFile(path, content));
        QCOMPARE(QFileInfo::exists(path), content != "missing");
        FileVerInfo info;
        QVERIFY(info.GetInfo(good));
        QCOMPARE(info.GetInfo(path), !expected.startsWith(QLatin1String("-1.-1.-1.-1 -1")));
        QCOMPARE(numbers(info), expected);
        // The About box's product line shows the product version.
        QCOMPARE(productVersionLine(QStringLiteral("tarnvue"), info),
                 "tarnvue Version " + expected.section(' ', 1) + "  ");
    }

    // The About window shows the program, its release, the version this very
    // program carries (its own record, found) and the legal notice.
    void aboutCommandShowsTheProgram() {
        const test::DialogRecorderScope rec;
        QWidget window;
        showAboutBox(&window); // without the component: nothing shown, nothing said
        QVERIFY(!shownAboutDialog());
        registerStandardComponents();
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        window.setWindowIcon(QIcon(pixmap));
        showAboutBox(&window);
        AboutDialog* dialog = shownAboutDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(dialog->NameLabel()->text(), QStringLiteral("Tarnvue"));
        const QFileInfo self(QCoreApplication::applicationFilePath());
        QCOMPARE(dialog->VersionLabel()->text(),
                 QStringLiteral("%1\n%2 Version %3.%4.%5.0  \n%6")
                     .arg(tarnvue::releaseLine(TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR,
                                               self.lastModified().date()),
                          self.completeBaseName())
                     .arg(TARNVUE_VERSION_MAJOR)
                     .arg(TARNVUE_VERSION_MINOR)
                     .arg(TARNVUE_VERSION_PATCH)
                     .arg(legalNotice()));
        // "Version" major.minor, then the full month name and four-digit year.
        QCOMPARE(tarnvue::releaseLine(3, 12, QDate(999, 1, 9), QLocale(QLocale::English)),
                 QStringLiteral("Version 3.12 January 0999"));
        QCOMPARE(dialog->IconLabel()->pixmap().toImage().pixelColor(8, 8), QColor(Qt::red));
        QVERIFY(rec->messages.isEmpty());
        // The window outlives the component that showed it, and goes when closed.
        QPointer<AboutDialog> guard(dialog);
        dialog->close();
        QTRY_VERIFY(guard.isNull());
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
