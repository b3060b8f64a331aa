#include "clock/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "clock/FullWidth.h"

namespace exam {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The decimal exponent of the leading digit of an out-of-range number: above zero it overflowed,
// otherwise it underflowed.
std::int64_t leadingExponent(std::string_view mantissa, std::int64_t exponent) {
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return std::numeric_limits<std::int64_t>::min();
    const auto position = static_cast<std::int64_t>(first);
    const auto pointAt = static_cast<std::int64_t>(point);
    return (first < point ? pointAt - position - 1 : pointAt - position) + exponent;
}

}  // namespace

Text formatNumber(double value) {
    if (value == 0) value = 0.0;  // drops the sign of -0
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return Text(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

double parseNumber(std::string_view gbk) {
    const std::string folded = foldFullWidth(gbk);
    const std::string_view s = folded;
    std::size_t p = 0;
    while (p < s.size() && isCSpace(s[p])) ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';

    const std::size_t begin = p;
    std::size_t digits = 0;
    for (; p < s.size() && isDigit(s[p]); ++p) ++digits;
    if (p < s.size() && s[p] == '.') {
        for (++p; p < s.size() && isDigit(s[p]); ++p) ++digits;
    }
    if (digits == 0) return 0.0;
    const std::string_view mantissa = s.substr(begin, p - begin);

    // The exponent counts only when at least one digit follows "e" and its sign.
    std::int64_t exponent = 0;
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        std::size_t q = p + 1;
        bool negativeExponent = false;
        if (q < s.size() && (s[q] == '+' || s[q] == '-')) negativeExponent = s[q++] == '-';
        if (q < s.size() && isDigit(s[q])) {
            for (; q < s.size() && isDigit(s[q]); ++q) {
                if (exponent < 100000000) exponent = exponent * 10 + (s[q] - '0');
            }
            if (negativeExponent) exponent = -exponent;
            p = q;
        }
    }

    const std::string_view number = s.substr(begin, p - begin);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value =
            leadingExponent(mantissa, exponent) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc() || result.ptr != number.data() + number.size()) {
        value = 0.0;  // cannot happen for the digits checked above; stay a number all the same
    }
    return negative ? -value : value;
}

}  // namespace exam
