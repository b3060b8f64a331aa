// Bounded fuzzing of the clock's text readers, which take the schedule's start time and the
// countdown labels: any bytes give MinDateTime or a valid date-time (and 0 or a number), without
// a crash and without reading past the input (exact-size heap blocks for the sanitizer build).
// Generated texts in every accepted form check the readers against what was written, and C's
// strtod and "%.13g" serve as the independent judges of the number texts.
#include <QtTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../core/FuzzInput.h"
#include "clock/DateTime.h"
#include "clock/NumberText.h"

using exam::DateTime;
using exam::DateTimeFields;
using exam::Text;
using exam::fuzz::ExactBytes;
using exam::fuzz::Random;

namespace {

constexpr std::string_view DatePieces[] = {
    "0",        "1",        "2",        "9",        "2024",     "06",       "31",
    "/",        "-",        ":",        ".",        " ",        "\xC4\xEA", "\xD4\xC2",
    "\xC8\xD5", "\xCA\xB1", "\xB7\xD6", "\xC3\xEB", "\xA3\xB2", "\xA3\xAD", "\xA1\xA1",
    "\xA3",     "T",        "\n",       "\xFF"};

constexpr std::string_view NumberAlphabet = "0123456789.eE+- \t\n";

QByteArray hex(std::string_view s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size())).toHex();
}

// The full-width twin of an ASCII text, character by character where the dice say so.
std::string fullWidth(std::string_view ascii, Random& random) {
    std::string out;
    for (char c : ascii) {
        if (c == ' ' && random.chance(50)) {
            out += "\xA1\xA1";
        } else if (c > 0x20 && c < 0x7F && random.chance(50)) {
            out += '\xA3';
            out += static_cast<char>(c + 0x80);
        } else {
            out += c;
        }
    }
    return out;
}

std::string padded(int value, int digits) {
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < digits) s.insert(0, 1, '0');
    return s;
}

}  // namespace

class DateTimeFuzzTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void parseDateTimeOnAnyBytes();
    void parseDateTimeReadsEveryWrittenForm();
    void parseNumberOnAnyBytes();
    void numbersAgreeWithTheCLibrary();
};

void DateTimeFuzzTest::initTestCase() {
    // strtod and snprintf judge the number texts; they must see the C locale.
    std::setlocale(LC_ALL, "C");
}

void DateTimeFuzzTest::parseDateTimeOnAnyBytes() {
    Random random(exam::fuzz::seed());
    for (int round = 0; round < exam::fuzz::rounds(100000); ++round) {
        const std::string text =
            random.chance(20) ? random.bytes(30) : random.pieces(DatePieces, 14);
        const ExactBytes input(text);
        const DateTime value = exam::parseDateTime(input.view());
        if (value == exam::MinDateTime) continue;
        const QByteArray label = hex(text);
        const DateTimeFields fields = exam::splitDateTime(value);
        QVERIFY2(exam::isValidDateTime(fields), label);
        QVERIFY2(exam::makeDateTime(fields) == value, label);  // whole seconds
        // Every accepted text reads back from its own written form, except past the last day.
        if (value <= exam::MaxDateTime) {
            QVERIFY2(exam::parseDateTime(exam::formatDateTime(value)) == value, label);
        }
    }
}

void DateTimeFuzzTest::parseDateTimeReadsEveryWrittenForm() {
    static constexpr std::string_view Units[] = {"\xC4\xEA", "\xD4\xC2", "\xC8\xD5", "\xCA\xB1",
                                                 "\xB7\xD6"};
    static constexpr std::string_view Common[] = {"/", "-", ":", "."};
    static constexpr int MaxDigits[] = {4, 2, 2, 2, 2, 2};
    static constexpr int Ranges[] = {10000, 14, 33, 26, 62, 62};
    Random random(exam::fuzz::seed() + 2);
    int accepted = 0;
    for (int round = 0; round < exam::fuzz::rounds(100000); ++round) {
        int f[6] = {};
        const int written = 3 + random.below(4);  // the trailing fields left out are 0
        for (int i = 0; i < written; ++i) {
            f[i] = random.below(Ranges[i]);
            if (i == 0 && random.chance(70)) f[0] = 1990 + random.below(40);
        }
        std::string text;
        for (int i = 0; i < written; ++i) {
            const bool last = i + 1 == written;
            std::string separator;
            if (!last && random.chance(85)) {
                const int pick = random.below(6);
                separator = pick < 4 ? std::string(Common[pick]) : std::string(Units[i]);
                if (i == 2 && pick == 5) separator = " ";
            }
            // Without a separator the field must fill its digits or the next one runs into it.
            const int digits =
                separator.empty() && !last ? MaxDigits[i] : random.below(MaxDigits[i] + 1);
            text += padded(f[i], digits) + separator;
        }
        if (written == 6 && random.chance(30)) text += std::string("\xC3\xEB") + random.bytes(4);
        text = fullWidth(text, random);

        const DateTimeFields fields{f[0], f[1], f[2], f[3], f[4], f[5]};
        const DateTime expected =
            exam::isValidDateTime(fields) ? exam::makeDateTime(fields) : exam::MinDateTime;
        const ExactBytes input(text);
        QVERIFY2(exam::parseDateTime(input.view()) == expected, hex(text));
        if (expected != exam::MinDateTime) ++accepted;
    }
    QVERIFY(accepted > 1000);
}

void DateTimeFuzzTest::parseNumberOnAnyBytes() {
    Random random(exam::fuzz::seed() + 3);
    for (int round = 0; round < exam::fuzz::rounds(100000); ++round) {
        const std::string text = random.bytes(24);
        const ExactBytes input(text);
        const double value = exam::parseNumber(input.view());
        QVERIFY2(!std::isnan(value), hex(text));
        const Text written = exam::formatNumber(value);
        QVERIFY2(!written.empty() && written.size() < 32, hex(text));
    }
}

void DateTimeFuzzTest::numbersAgreeWithTheCLibrary() {
    Random random(exam::fuzz::seed() + 4);
    for (int round = 0; round < exam::fuzz::rounds(100000); ++round) {
        std::string ascii;
        const int length = random.below(16);
        for (int i = 0; i < length; ++i)
            ascii += NumberAlphabet[random.below(static_cast<int>(NumberAlphabet.size()))];
        if (random.chance(5)) ascii += "e" + std::to_string(random.below(700) - 350);
        const double judged = std::strtod(ascii.c_str(), nullptr);
        const std::string text = fullWidth(ascii, random);
        const ExactBytes input(text);
        const double value = exam::parseNumber(input.view());
        // Subnormal results are the one place where "too small" may round either way.
        const bool same =
            value == judged || (std::fabs(value) < 1e-300 && std::fabs(judged) < 1e-300);
        QVERIFY2(same, qPrintable(QString("%1: %2 against %3")
                                      .arg(QString::fromStdString(ascii))
                                      .arg(value)
                                      .arg(judged)));
    }
    for (int round = 0; round < exam::fuzz::rounds(100000); ++round) {
        double number = 0;
        switch (random.below(4)) {
            case 0:
                number = random.below(2000001) - 1000000;
                break;
            case 1:
                number = (random.below(2000001) - 1000000) / 64.0;
                break;
            case 2:
                number = std::ldexp(random.below(1 << 30) - (1 << 29), random.below(120) - 80);
                break;
            default: {
                std::uint64_t bits = 0;
                for (int i = 0; i < 8; ++i)
                    bits = bits << 8 | static_cast<unsigned char>(random.byte());
                std::memcpy(&number, &bits, sizeof number);
                if (std::isnan(number)) number = 0;
            }
        }
        char judged[64];
        std::snprintf(judged, sizeof judged, "%.13g", number == 0 ? 0.0 : number);
        QCOMPARE(QByteArray::fromStdString(exam::formatNumber(number).bytes()), QByteArray(judged));
    }
}

QTEST_GUILESS_MAIN(DateTimeFuzzTest)
#include "DateTimeFuzzTest.moc"
