#include "clock/DateTime.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "clock/FullWidth.h"

namespace exam {
namespace {

// The unit characters in GBK.
constexpr std::string_view Year = "\xC4\xEA";    // 年
constexpr std::string_view Month = "\xD4\xC2";   // 月
constexpr std::string_view Day = "\xC8\xD5";     // 日
constexpr std::string_view Hour = "\xCA\xB1";    // 时
constexpr std::string_view Minute = "\xB7\xD6";  // 分
constexpr std::string_view Second = "\xC3\xEB";  // 秒

constexpr std::int64_t OleEpochFromUnixEpoch = 25569;  // days from 1899-12-30 to 1970-01-01
constexpr double SecondsPerDay = 86400.0;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, DateTimeFields& f) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    f.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    f.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    f.year = static_cast<int>(yoe + era * 400 + (f.month <= 2));
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

std::string decimal(int n) {
    return std::to_string(n);
}

// The reader of the date-time text forms: a cursor over the folded text.
class DateTimeReader {
public:
    explicit DateTimeReader(std::string_view text) : text_(text) {}

    int number(int maxDigits) {
        int value = 0;
        for (int n = 0; n < maxDigits && pos_ < text_.size() && isDigit(text_[pos_]); ++n) {
            value = value * 10 + (text_[pos_++] - '0');
        }
        return value;
    }

    // Consumes one separator of the list when the text goes on with it.
    void separator(std::initializer_list<std::string_view> accepted) {
        for (const std::string_view s : accepted) {
            if (text_.substr(pos_).starts_with(s)) {
                pos_ += s.size();
                return;
            }
        }
    }

    bool endsHereOr(std::string_view unit) const {
        return pos_ == text_.size() || text_.substr(pos_).starts_with(unit);
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

bool isValidDateTime(const DateTimeFields& f) {
    return f.year >= 100 && f.year <= 9999 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
           f.day <= daysInMonth(f.year, f.month) && f.hour >= 0 && f.hour <= 23 && f.minute >= 0 &&
           f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

DateTime makeDateTime(const DateTimeFields& f) {
    if (!isValidDateTime(f)) return MinDateTime;
    const double days =
        static_cast<double>(daysFromCivil(f.year, f.month, f.day) + OleEpochFromUnixEpoch);
    const double fraction = (f.hour * 3600 + f.minute * 60 + f.second) / SecondsPerDay;
    return DateTime{days >= 0 ? days + fraction : days - fraction};
}

DateTimeFields splitDateTime(DateTime value) {
    double v = value.oleDate;
    if (std::isnan(v) || v < MinDateTime.oleDate) v = MinDateTime.oleDate;
    if (v > MaxDateTime.oleDate) v = MaxDateTime.oleDate;
    // To the nearest second: half a second away from zero, then the parts are cut.
    const double half = 0.5 / SecondsPerDay;
    v += v > 0 ? half : -half;
    const double days = std::trunc(v);
    int seconds = static_cast<int>(std::floor(std::fabs(v - days) * SecondsPerDay));
    if (seconds > 86399) seconds = 86399;

    DateTimeFields f;
    civilFromDays(static_cast<std::int64_t>(days) - OleEpochFromUnixEpoch, f);
    f.hour = seconds / 3600;
    f.minute = seconds / 60 % 60;
    f.second = seconds % 60;
    return f;
}

Text formatDateTime(DateTime value) {
    const DateTimeFields f = splitDateTime(value);
    std::string text = decimal(f.year) + std::string(Year) + decimal(f.month) + std::string(Month) +
                       decimal(f.day) + std::string(Day);
    if (f.second != 0) {
        text += decimal(f.hour) + std::string(Hour) + decimal(f.minute) + std::string(Minute) +
                decimal(f.second) + std::string(Second);
    } else if (f.minute != 0) {
        text += decimal(f.hour) + std::string(Hour) + decimal(f.minute) + std::string(Minute);
    } else if (f.hour != 0) {
        text += decimal(f.hour) + std::string(Hour);
    }
    return Text(text);
}

DateTime parseDateTime(std::string_view gbk) {
    const std::string folded = foldFullWidth(gbk);
    if (folded.empty()) return MinDateTime;
    DateTimeReader in(folded);
    DateTimeFields f;
    f.year = in.number(4);
    in.separator({"/", "-", ":", ".", Year});
    f.month = in.number(2);
    in.separator({"/", "-", ":", ".", Month});
    f.day = in.number(2);
    in.separator({"/", "-", ":", ".", " ", Day});
    f.hour = in.number(2);
    in.separator({"/", "-", ":", ".", Hour});
    f.minute = in.number(2);
    in.separator({"/", "-", ":", ".", Minute});
    f.second = in.number(2);
    if (!in.endsHereOr(Second)) return MinDateTime;
    return makeDateTime(f);
}

}  // namespace exam
