// Date-time text: the exact texts the start trigger compares, every accepted and rejected form of
// a schedule's start time, and the local clock.
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "../support/TextBytes.h"
#include "clock/DateTime.h"

using exam::DateTime;
using exam::DateTimeFields;
using exam::Text;
using exam::test::bytes;
using exam::test::gbk;

Q_DECLARE_METATYPE(DateTimeFields)

namespace {

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return exam::makeDateTime({y, mo, d, h, mi, s});
}

}  // namespace

class DateTimeTest : public QObject {
    Q_OBJECT
private slots:
    void oleDateValues_data();
    void oleDateValues();
    void invalidFieldsGiveMinDateTime_data();
    void invalidFieldsGiveMinDateTime();
    void format_data();
    void format();
    void parse_data();
    void parse();
    void everySecondOfADayRoundTrips();
    void currentTimeIsLocalWholeSeconds_data();
    void currentTimeIsLocalWholeSeconds();
};

void DateTimeTest::oleDateValues_data() {
    QTest::addColumn<DateTimeFields>("fields");
    QTest::addColumn<double>("oleDate");
    QTest::newRow("epoch") << DateTimeFields{1899, 12, 30, 0, 0, 0} << 0.0;
    QTest::newRow("1900-01-01") << DateTimeFields{1900, 1, 1, 0, 0, 0} << 2.0;
    QTest::newRow("noon after the epoch") << DateTimeFields{1899, 12, 30, 12, 0, 0} << 0.5;
    QTest::newRow("before the epoch the fraction counts forward")
        << DateTimeFields{1899, 12, 29, 6, 0, 0} << -1.25;
    QTest::newRow("2024-06-01") << DateTimeFields{2024, 6, 1, 0, 0, 0} << 45444.0;
    QTest::newRow("2024-06-01 18:00") << DateTimeFields{2024, 6, 1, 18, 0, 0} << 45444.75;
    QTest::newRow("MinDateTime") << DateTimeFields{100, 1, 1, 0, 0, 0} << -657434.0;
    QTest::newRow("MaxDateTime") << DateTimeFields{9999, 12, 31, 0, 0, 0} << 2958465.0;
}

void DateTimeTest::oleDateValues() {
    QFETCH(DateTimeFields, fields);
    QFETCH(double, oleDate);
    QCOMPARE(exam::makeDateTime(fields).oleDate, oleDate);
    QCOMPARE(exam::splitDateTime(DateTime{oleDate}), fields);
    QCOMPARE(exam::MinDateTime.oleDate, -657434.0);
    QCOMPARE(exam::MaxDateTime.oleDate, 2958465.0);
}

void DateTimeTest::invalidFieldsGiveMinDateTime_data() {
    QTest::addColumn<DateTimeFields>("fields");
    QTest::newRow("year 99") << DateTimeFields{99, 12, 31, 0, 0, 0};
    QTest::newRow("year 10000") << DateTimeFields{10000, 1, 1, 0, 0, 0};
    QTest::newRow("month 0") << DateTimeFields{2024, 0, 1, 0, 0, 0};
    QTest::newRow("month 13") << DateTimeFields{2024, 13, 1, 0, 0, 0};
    QTest::newRow("day 0") << DateTimeFields{2024, 1, 0, 0, 0, 0};
    QTest::newRow("April 31") << DateTimeFields{2024, 4, 31, 0, 0, 0};
    QTest::newRow("1900 is no leap year") << DateTimeFields{1900, 2, 29, 0, 0, 0};
    QTest::newRow("hour 24") << DateTimeFields{2024, 1, 1, 24, 0, 0};
    QTest::newRow("minute -1") << DateTimeFields{2024, 1, 1, 0, -1, 0};
    QTest::newRow("second 60") << DateTimeFields{2024, 1, 1, 0, 0, 60};
}

void DateTimeTest::invalidFieldsGiveMinDateTime() {
    QFETCH(DateTimeFields, fields);
    QVERIFY(!exam::isValidDateTime(fields));
    QCOMPARE(exam::makeDateTime(fields), exam::MinDateTime);
}

void DateTimeTest::format_data() {
    QTest::addColumn<double>("oleDate");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, DateTime v, const char* utf8) {
        QTest::newRow(name) << v.oleDate << gbk(utf8);
    };
    row("seconds", at(2024, 6, 1, 9, 5, 7), "2024年6月1日9时5分7秒");
    row("minutes", at(2024, 6, 1, 9, 30, 0), "2024年6月1日9时30分");
    row("minutes and seconds", at(2024, 6, 1, 9, 30, 15), "2024年6月1日9时30分15秒");
    row("whole hour", at(2024, 6, 1, 9, 0, 0), "2024年6月1日9时");
    row("ten o'clock", at(2024, 6, 1, 10, 0, 0), "2024年6月1日10时");
    row("one second past ten", at(2024, 6, 1, 10, 0, 1), "2024年6月1日10时0分1秒");
    row("midnight", at(2024, 6, 1), "2024年6月1日");
    row("seconds after midnight", at(2024, 6, 1, 0, 0, 7), "2024年6月1日0时0分7秒");
    row("minutes after midnight", at(2024, 6, 1, 0, 5, 0), "2024年6月1日0时5分");
    row("last second of the year", at(2024, 12, 31, 23, 59, 59), "2024年12月31日23时59分59秒");
    row("MinDateTime", exam::MinDateTime, "100年1月1日");
    row("MaxDateTime", exam::MaxDateTime, "9999年12月31日");
    row("below the range", DateTime{-1e9}, "100年1月1日");
    row("above the range", DateTime{1e9}, "9999年12月31日");
    row("later on the last day", at(9999, 12, 31, 12, 0, 0), "9999年12月31日");
    row("negative infinity", DateTime{-INFINITY}, "100年1月1日");
    row("not a number", DateTime{NAN}, "100年1月1日");
    row("epoch", DateTime{0.0}, "1899年12月30日");
    row("before the epoch", DateTime{-1.25}, "1899年12月29日6时");
    const double second = 1.0 / 86400;
    row("0.4 s rounds down", DateTime{at(2024, 6, 1, 9, 30, 0).oleDate + 0.4 * second},
        "2024年6月1日9时30分");
    row("0.6 s rounds up", DateTime{at(2024, 6, 1, 9, 30, 0).oleDate + 0.6 * second},
        "2024年6月1日9时30分1秒");
    row("rounds into the next day", DateTime{at(2024, 6, 2).oleDate - 0.3 * second},
        "2024年6月2日");
}

void DateTimeTest::format() {
    QFETCH(double, oleDate);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes(exam::formatDateTime(DateTime{oleDate})), expected);
}

void DateTimeTest::parse_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<DateTimeFields>("fields");
    QTest::addColumn<QByteArray>("writtenBack");
    const DateTimeFields fails{100, 1, 1, 0, 0, 0};
    const QByteArray failed = gbk("100年1月1日");
    const DateTimeFields half{2024, 6, 1, 9, 30, 0};
    const QByteArray halfText = gbk("2024年6月1日9时30分");
    const auto ok = [](const char* name, const QByteArray& text, DateTimeFields f,
                       const char* back) { QTest::newRow(name) << text << true << f << gbk(back); };
    const auto no = [&](const char* name, const QByteArray& text) {
        QTest::newRow(name) << text << false << fails << failed;
    };
    ok("dashes and colons", "2024-06-01 09:30:00", half, "2024年6月1日9时30分");
    ok("slashes, short fields", "2024/6/1 9:30", half, "2024年6月1日9时30分");
    ok("digits only, cut by their counts", "20240601093000", half, "2024年6月1日9时30分");
    ok("unit characters", gbk("2024年6月1日9时30分"), half, "2024年6月1日9时30分");
    ok("unit characters with 0秒", gbk("2024年6月1日9时30分0秒"), half, "2024年6月1日9时30分");
    ok("full-width with ideographic space", gbk("２０２４－０６－０１　０９：３０"), half,
       "2024年6月1日9时30分");
    ok("with seconds", "2024-06-01 09:30:15", {2024, 6, 1, 9, 30, 15}, "2024年6月1日9时30分15秒");
    ok("dots, date only", "2024.6.1", {2024, 6, 1, 0, 0, 0}, "2024年6月1日");
    ok("leap day", "2024-02-29 08:00", {2024, 2, 29, 8, 0, 0}, "2024年2月29日8时");
    ok("leap day of 2000", "2000-02-29", {2000, 2, 29, 0, 0, 0}, "2000年2月29日");
    ok("our own text of a second", gbk("2024年6月1日9时5分7秒"), {2024, 6, 1, 9, 5, 7},
       "2024年6月1日9时5分7秒");
    ok("our own text of an hour", gbk("2024年6月1日10时"), {2024, 6, 1, 10, 0, 0},
       "2024年6月1日10时");
    ok("nothing after 秒 is looked at", gbk("2024-06-01 09:30:15秒 and more"),
       {2024, 6, 1, 9, 30, 15}, "2024年6月1日9时30分15秒");
    ok("colons everywhere", "2024:6:1:9:30:15", {2024, 6, 1, 9, 30, 15}, "2024年6月1日9时30分15秒");
    ok("full-width digits with units", gbk("２０２４年６月１日"), {2024, 6, 1, 0, 0, 0},
       "2024年6月1日");
    ok("last second of the last day", "9999-12-31 23:59:59", {9999, 12, 31, 23, 59, 59},
       "9999年12月31日");
    ok("first day", "100-1-1", {100, 1, 1, 0, 0, 0}, "100年1月1日");
    ok("lead byte at the end is dropped", "2024-06-01\xC4", {2024, 6, 1, 0, 0, 0}, "2024年6月1日");
    ok("year cut at four digits", "2024061", {2024, 6, 1, 0, 0, 0}, "2024年6月1日");
    no("no February 29 in 2023", "2023-02-29 08:00");
    no("June has 30 days", "2024-06-31");
    no("hour 24", "2024-6-1 24:00");
    no("year below 100", "99-06-01");
    no("T between date and time", "2024-06-01T09:30:00");
    no("日 and a space", gbk("2024年6月1日 9时"));
    no("empty", "");
    no("line break after", "2024-06-01 09:30:00\n");
    no("space after", "2024-06-01 09:30:00 ");
    no("two spaces before the hour", "2024-06-01  09:30:00");
    no("space before", " 2024-06-01");
    no("1900-02-29", "1900-02-29");
    no("month 13", "2024-13-01");
    no("month missing", "2024");
    no("minute 60", "2024-06-01 09:60");
    no("second 60", "2024-06-01 09:30:60");
    no("five-digit year", "10000-01-01");
    no("three second digits", "2024-06-01 09:30:001");
    no("letters", "tomorrow");
    no("lone lead byte", "\xC4");
    no("wrong unit order", gbk("2024月6年1日"));
}

void DateTimeTest::parse() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(DateTimeFields, fields);
    QFETCH(QByteArray, writtenBack);
    const DateTime value = exam::parseDateTime(Text(text.toStdString()));
    if (accepted) {
        QCOMPARE(value, exam::makeDateTime(fields));
        QVERIFY(value != exam::MinDateTime || fields == exam::splitDateTime(exam::MinDateTime));
    } else {
        QCOMPARE(value, exam::MinDateTime);
    }
    QCOMPARE(bytes(exam::formatDateTime(value)), writtenBack);
}

// One moment has exactly one text, and that text reads back as the same moment.
void DateTimeTest::everySecondOfADayRoundTrips() {
    QSet<QByteArray> seen;
    for (int s = 0; s < 86400; ++s) {
        const DateTime value = at(2024, 2, 29, s / 3600, s / 60 % 60, s % 60);
        const Text text = exam::formatDateTime(value);
        QCOMPARE(exam::parseDateTime(text), value);
        seen.insert(bytes(text));
    }
    QCOMPARE(seen.size(), 86400);
}

void DateTimeTest::currentTimeIsLocalWholeSeconds_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("offsetSeconds");
    QTest::newRow("UTC") << QByteArray("UTC0") << 0;
    QTest::newRow("China, UTC+8") << QByteArray("CST-8") << 8 * 3600;
    QTest::newRow("west of UTC") << QByteArray("XST+5:30") << -(5 * 3600 + 1800);
}

void DateTimeTest::currentTimeIsLocalWholeSeconds() {
    QFETCH(QByteArray, zone);
    QFETCH(int, offsetSeconds);
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", zone);
    const std::time_t before = std::time(nullptr);
    const DateTime now = exam::currentDateTime();
    const std::time_t after = std::time(nullptr);
    if (previous.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", previous);

    const auto ole = [&](std::time_t t) {
        const std::time_t local = t + offsetSeconds;
        const std::time_t day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
        const DateTimeFields f = exam::splitDateTime(DateTime{static_cast<double>(day + 25569)});
        const int s = static_cast<int>(local - day * 86400);
        return at(f.year, f.month, f.day, s / 3600, s / 60 % 60, s % 60);
    };
    QVERIFY2(ole(before) <= now && now <= ole(after),
             qPrintable(QString::number(now.oleDate, 'f', 8)));
    // Whole seconds: the fraction of the day is a whole number of seconds.
    const DateTimeFields f = exam::splitDateTime(now);
    QCOMPARE(exam::makeDateTime(f), now);
}

QTEST_GUILESS_MAIN(DateTimeTest)
#include "DateTimeTest.moc"
