#include "app/CommandLine.h"

#include <QtTest>

using namespace tarnvue;
using Kind = CommandLine::Kind;

Q_DECLARE_METATYPE(CommandLine::Kind)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    // The arguments as the program receives them, joined, and what it reads
    // from them.
    void grammar_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* name, QStringList arguments, Kind kind, const char* value) {
            QTest::newRow(name) << arguments << kind << QString::fromUtf8(value);
        };
        row("nothing", {}, Kind::None, "");
        row("-N12", {"-N12"}, Kind::NodeId, "12");
        row("-N 12", {"-N", "12"}, Kind::NodeId, "12");
        row("-N with spaces after", {"-N  12  "}, Kind::NodeId, "12");
        row("bare -N", {"-N"}, Kind::NodeId, "");
        row("-Nabc", {"-Nabc"}, Kind::NodeId, "abc");
        row("-IP attached", {"-IP10.0.0.1"}, Kind::Address, "10.0.0.1");
        row("-IP spaced", {"-IP", "", "10.0.0.1", ""}, Kind::Address, "10.0.0.1");
        row("-IP tab is kept", {"-IP\t10.0.0.1"}, Kind::Address, "\t10.0.0.1");
        row("lower-case -n is a file", {"-n5"}, Kind::ChartFile, "-n5");
        row("lower-case -ip is a file", {"-ip10.0.0.1"}, Kind::ChartFile, "-ip10.0.0.1");
        row("-I alone is a file", {"-I"}, Kind::ChartFile, "-I");
        row("leading space is a file", {" -N5"}, Kind::ChartFile, " -N5");
        row("path with spaces, whole", {"/home/ops/My", "Charts/router1.nvc "}, Kind::ChartFile,
            "/home/ops/My Charts/router1.nvc ");
        row("quotes are kept", {"\"a b.nvc\""}, Kind::ChartFile, "\"a b.nvc\"");
    }
    void grammar() {
        QFETCH(QStringList, arguments);
        const CommandLine command =
            parseCommandLine(argumentText(QStringList{QStringLiteral("tarnvue")} + arguments));
        QTEST(command.kind, "kind");
        QTEST(command.value, "value");
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
