// Number text: the countdown's arithmetic on label texts, independent of the process locale.
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

#include "../support/TextBytes.h"
#include "clock/NumberText.h"

using exam::Text;
using exam::test::bytes;
using exam::test::text;
using exam::test::gbk;

class NumberTextTest : public QObject {
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void parse_data();
    void parse();
    void wholeNumbersRoundTrip();
    void countdownArithmetic();
    void ignoresTheProcessLocale();
};

void NumberTextTest::format_data() {
    QTest::addColumn<double>("number");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("119") << 119.0 << QByteArray("119");
    QTest::newRow("-1") << -1.0 << QByteArray("-1");
    QTest::newRow("59") << 59.0 << QByteArray("59");
    QTest::newRow("0") << 0.0 << QByteArray("0");
    QTest::newRow("0.5") << 0.5 << QByteArray("0.5");
    QTest::newRow("-0.5") << -0.5 << QByteArray("-0.5");
    QTest::newRow("negative zero") << -0.0 << QByteArray("0");
    QTest::newRow("1 - 1") << (1.0 - 1.0) << QByteArray("0");
    QTest::newRow("-1 * 0") << (-1.0 * 0.0) << QByteArray("0");
    QTest::newRow("thirteen digits") << 1234567890123.0 << QByteArray("1234567890123");
    QTest::newRow("fourteen digits need an exponent")
        << 12345678901234.0 << QByteArray("1.234567890123e+13");
    QTest::newRow("1e13") << 1e13 << QByteArray("1e+13");
    QTest::newRow("one third") << 1.0 / 3 << QByteArray("0.3333333333333");
    QTest::newRow("0.1") << 0.1 << QByteArray("0.1");
    QTest::newRow("100") << 100.0 << QByteArray("100");
    QTest::newRow("small") << 0.000025 << QByteArray("2.5e-05");
    QTest::newRow("1.5") << 1.5 << QByteArray("1.5");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QByteArray("inf");
}

void NumberTextTest::format() {
    QFETCH(double, number);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes(exam::formatNumber(number)), expected);
}

void NumberTextTest::parse_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("120") << QByteArray("120") << 120.0;
    QTest::newRow("leading space") << QByteArray(" 120") << 120.0;
    QTest::newRow("trailing space") << QByteArray("120 ") << 120.0;
    QTest::newRow("full-width digits") << gbk("１２０") << 120.0;
    QTest::newRow("ideographic space first") << gbk("　１２０") << 120.0;
    QTest::newRow("full-width minus") << gbk("－３") << -3.0;
    QTest::newRow("full-width point") << gbk("１．５") << 1.5;
    QTest::newRow("abc") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("-1") << QByteArray("-1") << -1.0;
    QTest::newRow("plus sign") << QByteArray("+5") << 5.0;
    QTest::newRow("fraction") << QByteArray("1.5") << 1.5;
    QTest::newRow("no integer part") << QByteArray(".5") << 0.5;
    QTest::newRow("bare point at the end") << QByteArray("5.") << 5.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("sign and blank") << QByteArray("- 1") << 0.0;
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0;
    QTest::newRow("negative exponent and rest") << QByteArray("1.5E-1x") << 0.15;
    QTest::newRow("e without digits") << QByteArray("1e") << 1.0;
    QTest::newRow("e and sign without digits") << QByteArray("2e+") << 2.0;
    QTest::newRow("white space of C") << QByteArray("\t\n\v\f\r 7") << 7.0;
    QTest::newRow("digits then letters") << QByteArray("12abc") << 12.0;
    QTest::newRow("leading zeros") << QByteArray("00059") << 59.0;
    QTest::newRow("comma is not a decimal point") << QByteArray("1,5") << 1.0;
    QTest::newRow("no hexadecimal") << QByteArray("0x10") << 0.0;
    QTest::newRow("no infinity word") << QByteArray("inf") << 0.0;
    QTest::newRow("no nan word") << QByteArray("nan") << 0.0;
    QTest::newRow("overflow") << QByteArray("1e999") << inf;
    QTest::newRow("negative overflow") << QByteArray("-1e999") << -inf;
    QTest::newRow("long overflow") << QByteArray("123456789") + QByteArray(400, '0') << inf;
    QTest::newRow("underflow") << QByteArray("1e-999") << 0.0;
    QTest::newRow("long underflow") << "0." + QByteArray(400, '0') + "1" << 0.0;
    QTest::newRow("huge exponent") << QByteArray("1e99999999999999999999") << inf;
    QTest::newRow("GBK before the digits") << gbk("分59") << 0.0;
    QTest::newRow("lead byte at the end") << QByteArray("42\xC4") << 42.0;
}

void NumberTextTest::parse() {
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(exam::parseNumber(::text(text)), expected);
}

void NumberTextTest::wholeNumbersRoundTrip() {
    for (double n = -100000; n <= 100000; n += 1) {
        const Text written = exam::formatNumber(n);
        QVERIFY(written.view().find('.') == std::string_view::npos);
        QCOMPARE(exam::parseNumber(written), n);
    }
    for (double n : {9999999999999.0, -9999999999999.0, 4294967296.0}) {
        QCOMPARE(exam::parseNumber(exam::formatNumber(n)), n);
    }
}

void NumberTextTest::countdownArithmetic() {
    QCOMPARE(bytes(exam::formatNumber(exam::parseNumber(Text("60")) - 1)), QByteArray("59"));
    QCOMPARE(bytes(exam::formatNumber(exam::parseNumber(Text("1")) - 1)), QByteArray("0"));
    QCOMPARE(bytes(exam::formatNumber(exam::parseNumber(Text("0")) - 1)), QByteArray("-1"));
    QCOMPARE(bytes(exam::formatNumber(exam::parseNumber(Text("120")) * 60)), QByteArray("7200"));
}

// A German desktop writes 0,5 with the C library; the clock's texts must not change with it.
void NumberTextTest::ignoresTheProcessLocale() {
    QTemporaryDir locales;
    QVERIFY(locales.isValid());
    QProcess localedef;
    localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8", locales.filePath("de_DE.UTF-8")});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0) {
        QSKIP("cannot build a German locale here (localedef or its sources are missing)");
    }
    qputenv("LOCPATH", QFile::encodeName(locales.path()));
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) QSKIP("the German locale does not load");
    char c[16];
    std::snprintf(c, sizeof c, "%.1f", 0.5);
    const QByteArray cText(c);
    const Text written = exam::formatNumber(0.5);
    const double read = exam::parseNumber(Text("0.5"));
    const double readComma = exam::parseNumber(Text("0,5"));
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
    QCOMPARE(cText, QByteArray("0,5"));  // the locale really is in force
    QCOMPARE(bytes(written), QByteArray("0.5"));
    QCOMPARE(read, 0.5);
    QCOMPARE(readComma, 0.0);
}

QTEST_GUILESS_MAIN(NumberTextTest)
#include "NumberTextTest.moc"
