#include "RecordingDialogs.h"
#include "components/AboutDialogComponent.h"
#include "components/ComponentIds.h"
#include "components/StandardComponents.h"
#include "core/ComponentRegistry.h"
#include "help/AboutBox.h"
#include "help/FileVerInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <stdexcept>

using namespace tarnvue;

namespace {

// 52 bytes in the shape of a fixed version record: file version, product
// version (four 16-bit numbers each).
QByteArray record(QList<quint16> v, quint32 structureVersion = 0x00010000u) {
    // Made at run time: a record folded into this program's constant data
    // would itself be found by a scan of the test program.
    volatile quint32 signature = 0xFEEF04BDu;
    QList<quint32> words{signature, structureVersion};
    for (int i = 0; i < 8; i += 2)
        words << (quint32(v[i]) << 16 | v[i + 1]);
    words << 0x3Fu << 0 << 0x40004u << 1 << 0 << 0 << 0; // flag mask, flags, OS, type, subtype, date
    QByteArray bytes(52, '\0');
    for (int i = 0; i < 13; ++i)
        qToLittleEndian(words[i], bytes.data() + 4 * i);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Filler that holds no signature.
QByteArray filler(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('A' + i % 23);
    return bytes;
}

// The eight numbers as read, file version then product version.
QString numbers(const FileVerInfo& info) {
    return QStringLiteral("%1.%2.%3.%4 %5.%6.%7.%8")
        .arg(info.FileVersionMajor())
        .arg(info.FileVersionMinor())
        .arg(info.FileVersionPrivate())
        .arg(info.FileVersionBuild().toInt())
        .arg(info.ProductVersionMajor())
        .arg(info.ProductVersionMinor())
        .arg(info.ProductVersionPrivate())
        .arg(info.ProductVersionBuild());
}

// An About component whose program name cannot be set.
class RefusingAbout : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProgramName READ text WRITE setProgramName)
    Q_PROPERTY(QString SubTitle MEMBER subTitle)
public:
    static inline bool shown = false;
    QString subTitle;
    QString text() const { return {}; }
    void setProgramName(const QString&) { throw std::runtime_error("refused"); }
    Q_INVOKABLE void Show() { shown = !subTitle.isEmpty(); }
};

AboutDialog* shownAboutDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<AboutDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

} // namespace

// The version record reader and the About box.
class TestAbout : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { ComponentRegistry::instance().remove(ComponentIds::aboutDialog()); }

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
        QTest::newRow("at an odd offset") << filler(4099) + v << found;
        QTest::newRow("across two read pieces") << filler((1 << 20) - 21) + v + filler(10) << found;
        QTest::newRow("after another structure's signature")
            << record({9, 9, 9, 9, 9, 9, 9, 9}, 0x00020000u) + filler(3) + v << found;
        QTest::newRow("first of two") << v + record({1, 1, 1, 1, 1, 1, 1, 1}) << found;
        QTest::newRow("limits") << record({32767, 32768, 65535, 0, 0, 65535, 32768, 32767})
                                << "32767.-32768.-1.0 0.-1.-32768.32767";
        QTest::newRow("plain data") << filler(70000) << none;
        QTest::newRow("empty file") << QByteArray() << none;
        QTest::newRow("missing file") << QByteArray("missing") << none;
        QTest::newRow("folder") << QByteArray("folder") << none;
        QTest::newRow("record cut short") << filler(1000) + v.left(51) << none;
        QTest::newRow("no structure version") << record({3, 1, 0, 7, 3, 1, 0, 7}, 1) << none;
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
        else if (content != "missing")
            QVERIFY(writeFile(path, content));
        FileVerInfo info;
        QVERIFY(info.GetInfo(good));
        QCOMPARE(info.GetInfo(path), !expected.startsWith(QLatin1String("-1.-1.-1.-1 -1")));
        QCOMPARE(numbers(info), expected);
        // The About box's product line shows the product version.
        QCOMPARE(productVersionLine(QStringLiteral("tarnvue"), info),
                 "tarnvue Version " + expected.section(' ', 1) + "  ");
    }

    // The reader's own machine code holds the signature as a constant; it
    // must not be taken for a record. This program carries the record the
    // build makes for the program.
    void programsOwnRecord() {
        const QList<int> v{TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR, TARNVUE_VERSION_PATCH, 0};
        const QString version =
            QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
        FileVerInfo info;
        QCOMPARE(numbers(info), QStringLiteral("-1.-1.-1.-1 -1.-1.-1.-1"));
        QVERIFY(QFileInfo(QStringLiteral(TARNVUE_HELP_LIBRARY)).size() > 0);
        QVERIFY(!info.GetInfo(QStringLiteral(TARNVUE_HELP_LIBRARY)));
        QCOMPARE(FileVerInfo::executablePath(), QCoreApplication::applicationFilePath());
        QVERIFY(info.GetExecutableInfo());
        QCOMPARE(numbers(info), version + ' ' + version);
    }

    // "Version" major.minor, then the full month name and four-digit year.
    void releaseLine() {
        QCOMPARE(tarnvue::releaseLine(1, 0, QDate(2024, 3, 5), QLocale(QLocale::English)),
                 QStringLiteral("Version 1.0 March 2024"));
        QCOMPARE(tarnvue::releaseLine(3, 12, QDate(999, 1, 9), QLocale(QLocale::English)),
                 QStringLiteral("Version 3.12 January 0999"));
    }

    // The About command: the About window shows the program, its release,
    // the version this very program carries and the legal notice.
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
        QCOMPARE(dialog->windowTitle(), QStringLiteral("About Tarnvue"));
        QCOMPARE(dialog->NameLabel()->text(), QStringLiteral("Tarnvue"));
        QCOMPARE(dialog->SubTitleLabel()->text(),
                 QStringLiteral("Historical Response Time Charting and Trending"));
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
        QVERIFY(legalNotice().contains(QLatin1String("GNU General Public License")));
        QCOMPARE(dialog->IconLabel()->pixmap().toImage().pixelColor(8, 8), QColor(Qt::red));
        QVERIFY(rec->messages.isEmpty());
        // The window outlives the component that showed it, and goes when closed.
        QPointer<AboutDialog> guard(dialog);
        dialog->close();
        QTRY_VERIFY(guard.isNull());
    }

    // Every step runs with its errors ignored: one that fails is skipped.
    void failingStepIsSkipped() {
        ComponentRegistry::instance().add(ComponentIds::aboutDialog(),
                                          [] { return std::make_unique<RefusingAbout>(); });
        const test::DialogRecorderScope rec;
        showAboutBox(nullptr);
        QVERIFY(RefusingAbout::shown);
        QVERIFY(rec->messages.isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
