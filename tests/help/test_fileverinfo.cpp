#include "VersionFiles.h"
#include "help/FileVerInfo.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnvue;

namespace {

struct Eight {
    int fileMajor, fileMinor, filePrivate, fileBuild;
    int productMajor, productMinor, productPrivate, productBuild;
};

Eight read(const FileVerInfo& info) {
    return {info.FileVersionMajor(),         info.FileVersionMinor(),    info.FileVersionPrivate(),
            info.FileVersionBuild().toInt(), info.ProductVersionMajor(), info.ProductVersionMinor(),
            info.ProductVersionPrivate(),    info.ProductVersionBuild()};
}

QList<int> asList(const Eight& e) {
    return {e.fileMajor,    e.fileMinor,    e.filePrivate,    e.fileBuild,
            e.productMajor, e.productMinor, e.productPrivate, e.productBuild};
}

const QList<int> AllUnread{-1, -1, -1, -1, -1, -1, -1, -1};

} // namespace

class TestFileVerInfo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void freshObjectReportsMinusOne() {
        const FileVerInfo info;
        QCOMPARE(asList(read(info)), AllUnread);
        // The file build number comes as a variant holding a 16-bit integer.
        QCOMPARE(info.FileVersionBuild().metaType(), QMetaType::fromType<qint16>());
        QCOMPARE(info.FileVersionBuild().value<qint16>(), qint16(-1));
    }

    void readsTheRecord_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("expected");

        const QByteArray v3107 = test::versionRecord(2, 5, 1, 9, 3, 1, 0, 7);
        const QList<int> e3107{2, 5, 1, 9, 3, 1, 0, 7};
        QTest::newRow("record alone") << v3107 << e3107;
        QTest::newRow("aligned in a file")
            << test::filler(4096) + v3107 + test::filler(100) << e3107;
        QTest::newRow("at an odd offset") << test::filler(4099) + v3107 << e3107;
        QTest::newRow("across two read pieces")
            << test::filler((1 << 20) - 21) + v3107 + test::filler(10) << e3107;
        QTest::newRow("after a signature of another structure")
            << test::versionRecord(9, 9, 9, 9, 9, 9, 9, 9, 0x00020000u) + test::filler(3) + v3107
            << e3107;
        QTest::newRow("first of two records")
            << v3107 + test::versionRecord(1, 1, 1, 1, 1, 1, 1, 1) << e3107;
        QTest::newRow("halves of 40000 are negative")
            << test::versionRecord(40000, 1, 2, 40000, 3, 40000, 40000, 4)
            << QList<int>{-25536, 1, 2, -25536, 3, -25536, -25536, 4};
        QTest::newRow("limits of the signed range")
            << test::versionRecord(32767, 32768, 65535, 0, 0, 65535, 32768, 32767)
            << QList<int>{32767, -32768, -1, 0, 0, -1, -32768, 32767};
    }
    void readsTheRecord() {
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, expected);
        const QString path = m_dir.filePath(QStringLiteral("with-record.bin"));
        QVERIFY(test::writeFile(path, content));

        FileVerInfo info;
        QVERIFY(info.GetInfo(path));
        QCOMPARE(asList(read(info)), expected);
        QCOMPARE(info.FileVersionBuild().metaType(), QMetaType::fromType<qint16>());
    }

    void fileWithoutRecordGivesMinusOne_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");

        const QByteArray record = test::versionRecord(3, 1, 0, 7, 3, 1, 0, 7);
        QTest::newRow("plain data") << test::filler(70000) << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("record cut short at the end")
            << test::filler(1000) + record.left(51) << true;
        QTest::newRow("signature without the structure version")
            << test::versionRecord(3, 1, 0, 7, 3, 1, 0, 7, 0x00000001u) << true;
        QTest::newRow("signature alone") << test::filler(10) + record.left(4) << true;
    }
    void fileWithoutRecordGivesMinusOne() {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        const QString path = m_dir.filePath(QStringLiteral("without-record.bin"));
        QFile::remove(path);
        if (exists)
            QVERIFY(test::writeFile(path, content));

        // A failed read also forgets what an earlier read found.
        const QString good = m_dir.filePath(QStringLiteral("good.bin"));
        QVERIFY(test::writeFile(good, test::versionRecord(1, 2, 3, 4, 5, 6, 7, 8)));
        FileVerInfo info;
        QVERIFY(info.GetInfo(good));
        QCOMPARE(info.ProductVersionMajor(), qint16(5));

        QVERIFY(!info.GetInfo(path));
        QCOMPARE(asList(read(info)), AllUnread);
    }

    void folderIsNoRecord() {
        FileVerInfo info;
        QVERIFY(!info.GetInfo(m_dir.path()));
        QCOMPARE(asList(read(info)), AllUnread);
    }

    // The reader's own machine code holds the signature as a constant; it
    // must not be taken for a record.
    void readerCodeIsNoRecord() {
        FileVerInfo info;
        QVERIFY(QFileInfo(QStringLiteral(TARNVUE_HELP_LIBRARY)).size() > 0);
        QVERIFY(!info.GetInfo(QStringLiteral(TARNVUE_HELP_LIBRARY)));
        QCOMPARE(asList(read(info)), AllUnread);
    }

    // This test program carries the record the build makes for the program.
    void executableCarriesTheProjectVersion() {
        FileVerInfo info;
        QCOMPARE(FileVerInfo::executablePath(), QCoreApplication::applicationFilePath());
        QVERIFY(info.GetExecutableInfo());
        const QList<int> version{TARNVUE_VERSION_MAJOR, TARNVUE_VERSION_MINOR,
                                 TARNVUE_VERSION_PATCH, 0};
        QCOMPARE(asList(read(info)), version + version);
    }

    void readsFromAnyDevice() {
        QByteArray data = test::filler(333) + test::versionRecord(7, 0, 0, 1, 7, 0, 0, 2);
        QBuffer buffer(&data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const auto record = FileVerInfo::findRecord(buffer);
        QVERIFY(record.has_value());
        QCOMPARE((*record)[0], 0xFEEF04BDu);
        QCOMPARE((*record)[5], 2u);
        QCOMPARE((*record)[8], 0x40004u);
    }
};

QTEST_GUILESS_MAIN(TestFileVerInfo)
#include "test_fileverinfo.moc"
