#include "RecordingDialogs.h"
#include "TestEnvironment.h"
#include "core/Clock.h"
#include "core/ComponentRegistry.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/ProgramDir.h"

#include <QDir>
#include <QtTest>

using namespace tarnvue;

class TestCoreSeams : public QObject {
    Q_OBJECT

private slots:
    void programDirectoryFollowsTheEnvironment() {
        const test::ProgramDirScope dir;
        QCOMPARE(programDirectory(), QDir::toNativeSeparators(dir.path()));
        QCOMPARE(programFile(QStringLiteral("Pollwatch.cfg")),
                 QDir::toNativeSeparators(dir.path() + QStringLiteral("/Pollwatch.cfg")));
        qputenv("TARNVUE_PROGRAM_DIR", QFile::encodeName(dir.path() + QStringLiteral("///")));
        QVERIFY(!programDirectory().endsWith(QDir::separator()));
    }

    void fileNamePartTakesEitherSeparator() {
        QCOMPARE(fileNamePart(QStringLiteral("C:\\Charts\\report.nvc")),
                 QStringLiteral("report.nvc"));
        QCOMPARE(fileNamePart(QStringLiteral("/home/ops/report.nvc")),
                 QStringLiteral("report.nvc"));
        QCOMPARE(fileNamePart(QStringLiteral("report.nvc")), QStringLiteral("report.nvc"));
        QCOMPARE(fileNamePart(QStringLiteral("dir/")), QString());
    }

    void clockCanBeFixedAndRestored() {
        const QDateTime fixed(QDate(2026, 5, 31), QTime(23, 30));
        {
            const test::ClockScope clock(fixed);
            QCOMPARE(currentDateTime(), fixed);
        }
        QVERIFY(qAbs(currentDateTime().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void unregisteredComponentFailsToCreate() {
        auto& registry = ComponentRegistry::instance();
        QVERIFY(!registry.create(QStringLiteral("NorvaneExports7.Engine")));
        registry.add(QStringLiteral("Test.Component"), [] {
            auto object = std::make_unique<QObject>();
            object->setObjectName(QStringLiteral("made"));
            return object;
        });
        const auto made = registry.create(QStringLiteral("Test.Component"));
        QVERIFY(made);
        QCOMPARE(made->objectName(), QStringLiteral("made"));
        registry.remove(QStringLiteral("Test.Component"));
        QVERIFY(!registry.create(QStringLiteral("Test.Component")));
    }

    void recorderKeepsMessagesAndAnswers() {
        const test::DialogRecorderScope recorder;
        showExclamation(nullptr, failureText(QStringLiteral("Cannot build new chart."),
                                             QStringLiteral("Overflow")));
        QCOMPARE(recorder->messages.size(), 1);
        QCOMPARE(recorder->messages[0].text, QStringLiteral("Cannot build new chart.\r\nOverflow"));
        QCOMPARE(recorder->messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(recorder->messages[0].title, QStringLiteral("Norvane Tarnvue"));
        QVERIFY(!dialogs().openFileName(nullptr, {}));
        recorder->fileAnswers.push_back(QStringLiteral("/tmp/a.nvc"));
        QCOMPARE(dialogs().saveFileName(nullptr, {}).value_or(QString()),
                 QStringLiteral("/tmp/a.nvc"));
    }
};

QTEST_MAIN(TestCoreSeams)
#include "test_coreseams.moc"
