#include "core/Error.h"
#include "core/Numeric.h"

#include <QtTest>

using namespace tarnvue;

class TestNumeric : public QObject {
    Q_OBJECT

private slots:
    void halfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.5 goes down to the even 2") << 2.5 << 2;
        QTest::newRow("3.5 goes up to the even 4") << 3.5 << 4;
        QTest::newRow("-2.5 goes to -2") << -2.5 << -2;
        QTest::newRow("-3.5 goes to -4") << -3.5 << -4;
        QTest::newRow("0.5 goes to 0") << 0.5 << 0;
        QTest::newRow("just above a half rounds up") << 2.5000001 << 3;
        QTest::newRow("just below a half rounds down") << 3.4999999 << 3;
        QTest::newRow("15 hours of 6-hour buckets") << 2.5 << 2;
        QTest::newRow("21 hours of 6-hour buckets") << 3.5 << 4;
        QTest::newRow("whole numbers stay") << 192.0 << 192;
    }
    void halfEven() {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(int(toInt16(value)), expected);
        QCOMPARE(int(toInt32(value)), expected);
    }

    void overflow_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits16");
        QTest::addColumn<bool>("fits32");
        QTest::newRow("32767 fits 16 bits") << 32767.0 << true << true;
        QTest::newRow("32767.5 rounds to 32768") << 32767.5 << false << true;
        QTest::newRow("32767.4 rounds to 32767") << 32767.4 << true << true;
        QTest::newRow("-32768 fits") << -32768.0 << true << true;
        QTest::newRow("-32768.5 rounds to the even -32768") << -32768.5 << true << true;
        QTest::newRow("-32769 does not fit") << -32769.0 << false << true;
        QTest::newRow("2147483647 fits 32 bits") << 2147483647.0 << false << true;
        QTest::newRow("2147483647.5 overflows") << 2147483647.5 << false << false;
        QTest::newRow("-2147483648.5 rounds to -2147483648") << -2147483648.5 << false << true;
        QTest::newRow("not a number") << std::nan("") << false << false;
        QTest::newRow("infinity") << HUGE_VAL << false << false;
    }
    void overflow() {
        QFETCH(double, value);
        QFETCH(bool, fits16);
        QFETCH(bool, fits32);
        const auto throwsOverflow = [](auto convert) {
            try {
                convert();
            } catch (const Error& e) {
                return e.description() == QStringLiteral("Overflow");
            }
            return false;
        };
        QCOMPARE(!throwsOverflow([&] { toInt16(value); }), fits16);
        QCOMPARE(!throwsOverflow([&] { toInt32(value); }), fits32);
    }

    void parseWholeNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "12" << true << 12;
        QTest::newRow("spaces around") << "  12 " << true << 12;
        QTest::newRow("signed") << "-7" << true << -7;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("too large") << "2147483648" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("spaces only") << "   " << false << 0;
        QTest::newRow("fraction") << "12.5" << false << 0;
        QTest::newRow("number then text") << "12abc" << false << 0;
        QTest::newRow("inner space") << "1 2" << false << 0;
        QTest::newRow("sign alone") << "-" << false << 0;
        QTest::newRow("tab is not trimmed") << "\t12" << false << 0;
    }
    void parseWholeNumber() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, expected);
        bool parsed = true;
        int value = 0;
        try {
            value = parseInt32(text);
        } catch (const Error&) {
            parsed = false;
        }
        QCOMPARE(parsed, valid);
        if (valid)
            QCOMPARE(value, expected);
    }

    void trimRemovesSpacesOnly() {
        QCOMPARE(trimSpaces(QStringLiteral("  10.0.0.1   ")), QStringLiteral("10.0.0.1"));
        QCOMPARE(trimSpaces(QStringLiteral("\t10.0.0.1 ")), QStringLiteral("\t10.0.0.1"));
        QCOMPARE(trimSpaces(QStringLiteral("    ")), QString());
    }
};

QTEST_APPLESS_MAIN(TestNumeric)
#include "test_numeric.moc"
