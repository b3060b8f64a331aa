// Number text: the countdown keeps minutes and seconds as label texts and does its arithmetic by
// reading them as numbers and writing the results back. Both directions are independent of the
// process locale (the decimal point is always "."), so a German or French desktop reads and
// writes the same texts. Pure functions; any thread.
#pragma once

#include <string_view>

#include "core/Text.h"

namespace exam {

// As C's "%.13g": at most 13 significant digits, no trailing zeros and no bare decimal point,
// "-" for negative values; zero is always "0", never "-0". Values that need an exponent are
// written as "%.13g" does ("1e+13"); NaN and infinity as "nan", "inf", "-inf".
Text formatNumber(double value);

// After folding full-width forms, the longest prefix that is a decimal number in the manner of
// C's atof: white space skipped, an optional sign, digits with an optional decimal point, an
// optional exponent. The rest is ignored; no such prefix gives 0. A number too large for a double
// gives plus or minus infinity, one too small gives 0. Never NaN.
double parseNumber(std::string_view gbk);
inline double parseNumber(const Text& text) {
    return parseNumber(text.view());
}

}  // namespace exam
