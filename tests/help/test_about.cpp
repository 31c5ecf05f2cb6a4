#include "RecordingDialogs.h"
#include "VersionFiles.h"
#include "components/AboutDialogComponent.h"
#include "components/ComponentIds.h"
#include "core/ComponentRegistry.h"
#include "help/AboutBox.h"
#include "help/FileVerInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

using namespace tarnvue;

namespace {

// An About component that keeps what it was given, in order.
class FakeAbout : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProgramName READ text WRITE setProgramName)
    Q_PROPERTY(QString SubTitle READ text WRITE setSubTitle)
    Q_PROPERTY(QString VersionInfo READ text WRITE setVersionInfo)
    Q_PROPERTY(QIcon ProgIcon READ icon WRITE setProgIcon)
public:
    static inline QStringList calls;
    static inline QString versionInfo;
    static inline QIcon progIcon;
    static inline bool programNameFails = false;

    QString text() const { return {}; }
    QIcon icon() const { return {}; }
    void setProgramName(const QString& v) {
        if (programNameFails)
            throw std::runtime_error("refused");
        calls << QStringLiteral("ProgramName=") + v;
    }
    void setSubTitle(const QString& v) { calls << QStringLiteral("SubTitle=") + v; }
    void setVersionInfo(const QString& v) {
        calls << QStringLiteral("VersionInfo");
        versionInfo = v;
    }
    void setProgIcon(const QIcon& v) {
        calls << QStringLiteral("ProgIcon");
        progIcon = v;
    }
    Q_INVOKABLE void Show() { calls << QStringLiteral("Show"); }
};

AboutDialog* shownAboutDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<AboutDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init() {
        FakeAbout::calls.clear();
        FakeAbout::versionInfo.clear();
        FakeAbout::progIcon = QIcon();
        FakeAbout::programNameFails = false;
        ComponentRegistry::instance().remove(ComponentIds::aboutDialog());
    }

    void releaseLineNamesMonthAndYear_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QDate>("built");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("English") << 1 << 0 << QDate(2024, 3, 5) << QStringLiteral("en_US")
                                 << QStringLiteral("Version 1.0 March 2024");
        QTest::newRow("German") << 1 << 0 << QDate(2024, 3, 31) << QStringLiteral("de_DE")
                                << QStringLiteral("Version 1.0 M\u00e4rz 2024");
        QTest::newRow("French, two-digit minor")
            << 2 << 12 << QDate(2025, 12, 1) << QStringLiteral("fr_FR")
            << QStringLiteral("Version 2.12 d\u00e9cembre 2025");
        QTest::newRow("early year has four digits")
            << 3 << 1 << QDate(999, 1, 9) << QStringLiteral("en_US")
            << QStringLiteral("Version 3.1 January 0999");
    }
    void releaseLineNamesMonthAndYear() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QDate, built);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QCOMPARE(releaseLine(major, minor, built, QLocale(locale)), expected);
    }

    void productLineFromTheRecord_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("3.1.0.7") << test::filler(1001) + test::versionRecord(9, 9, 9, 9, 3, 1, 0, 7)
                                 << QStringLiteral("tarnvue Version 3.1.0.7  ");
        QTest::newRow("half of 40000") << test::versionRecord(1, 0, 0, 0, 1, 40000, 0, 2)
                                       << QStringLiteral("tarnvue Version 1.-25536.0.2  ");
        QTest::newRow("no record")
            << test::filler(500) << QStringLiteral("tarnvue Version -1.-1.-1.-1  ");
    }
    void productLineFromTheRecord() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QStringLiteral("tarnvue"));
        QVERIFY(test::writeFile(path, content));
        FileVerInfo info;
        info.GetInfo(path);
        QCOMPARE(productVersionLine(QStringLiteral("tarnvue"), info), expected);
    }

    void productLineOfFreshReader() {
        QCOMPARE(productVersionLine(QStringLiteral("Tarnvue"), FileVerInfo()),
                 QStringLiteral("Tarnvue Version -1.-1.-1.-1  "));
    }

    void versionTextHasThreeLines() {
        QCOMPARE(versionText(QStringLiteral("Version 3.1 May 2026"),
                             QStringLiteral("tarnvue Version 3.1.0.7  "), QStringLiteral("Legal")),
                 QStringLiteral("Version 3.1 May 2026\r\ntarnvue Version 3.1.0.7  \r\nLegal\r\n"));
    }

    void programVersionTextUsesThisExecutable() {
        const QFileInfo self(QCoreApplication::applicationFilePath());
        const QString text = programVersionText(FileVerInfo());
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[3].isEmpty());
        QCOMPARE(lines[0], releaseLine(TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR,
                                       self.lastModified().date()));
        QCOMPARE(lines[1], self.completeBaseName() + QStringLiteral(" Version -1.-1.-1.-1  "));
        QCOMPARE(lines[2], legalNotice());
        QVERIFY(!legalNotice().isEmpty());
    }

    void aboutCommandFillsTheComponent_data() {
        QTest::addColumn<bool>("programNameFails");
        QTest::newRow("every step succeeds") << false;
        QTest::newRow("a failing step is skipped") << true;
    }
    void aboutCommandFillsTheComponent() {
        QFETCH(bool, programNameFails);
        FakeAbout::programNameFails = programNameFails;
        ComponentRegistry::instance().add(ComponentIds::aboutDialog(),
                                          [] { return std::make_unique<FakeAbout>(); });
        QWidget window;
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        window.setWindowIcon(QIcon(pixmap));
        const test::DialogRecorderScope rec;

        showAboutBox(&window);

        QStringList expected{
            QStringLiteral("SubTitle=Historical Response Time Charting and Trending"),
            QStringLiteral("VersionInfo"), QStringLiteral("ProgIcon"), QStringLiteral("Show")};
        if (!programNameFails)
            expected.prepend(QStringLiteral("ProgramName=Tarnvue"));
        QCOMPARE(FakeAbout::calls, expected);
        QCOMPARE(FakeAbout::versionInfo, programVersionText(FileVerInfo()));
        QCOMPARE(FakeAbout::progIcon.cacheKey(), window.windowIcon().cacheKey());
        QVERIFY(rec->messages.isEmpty());
    }

    void aboutCommandWithoutComponentDoesNothing() {
        const test::DialogRecorderScope rec;
        QWidget window;
        showAboutBox(&window);
        QVERIFY(rec->messages.isEmpty());
        QVERIFY(shownAboutDialog() == nullptr);
    }

    void aboutDialogShowsTheTexts() {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::blue);
        {
            AboutDialogComponent component;
            QVERIFY(component.setProperty("ProgramName", QStringLiteral("Tarnvue")));
            QVERIFY(component.setProperty("SubTitle", aboutSubTitle()));
            QVERIFY(component.setProperty("VersionInfo",
                                          versionText(QStringLiteral("Version 1.0 May 2026"),
                                                      QStringLiteral("tarnvue Version 1.0.0.0  "),
                                                      QStringLiteral("Legal"))));
            QVERIFY(component.setProperty("ProgIcon", QVariant::fromValue(QIcon(pixmap))));
            QVERIFY(QMetaObject::invokeMethod(&component, "Show", Qt::DirectConnection));
        }
        // The window outlives the component that showed it.
        AboutDialog* dialog = shownAboutDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(dialog->NameLabel()->text(), QStringLiteral("Tarnvue"));
        QCOMPARE(dialog->SubTitleLabel()->text(), aboutSubTitle());
        QCOMPARE(dialog->VersionLabel()->text(),
                 QStringLiteral("Version 1.0 May 2026\ntarnvue Version 1.0.0.0  \nLegal"));
        QVERIFY(!dialog->IconLabel()->pixmap().isNull());
        QVERIFY(dialog->windowTitle().contains(QStringLiteral("Tarnvue")));

        QPointer<AboutDialog> guard(dialog);
        dialog->close();
        QTRY_VERIFY(guard.isNull());
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
