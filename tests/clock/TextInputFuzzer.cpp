// libFuzzer target for the readers of outside text: message splitting, config.ini contents, the
// start-time text and the number text. Built only by clang (see CMakeLists.txt); the first input
// byte picks the reader, the rest is its input. A broken property aborts, so the fuzzer keeps
// the input that showed it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "clock/DateTime.h"
#include "clock/NumberText.h"
#include "core/ConfigFile.h"
#include "core/MessageText.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

void split(std::string_view text) {
    const exam::FieldList fields = exam::splitFields(text, exam::FieldSeparator);
    std::string rebuilt;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) rebuilt += exam::FieldSeparator;
        rebuilt += fields[i].view();
    }
    if (text.find('\0') == std::string_view::npos) {
        require(text.starts_with(rebuilt));
        const std::string_view rest = text.substr(rebuilt.size());
        require(rest.empty() || rest == exam::FieldSeparator);
    }
    require(exam::splitFields(text, exam::FieldSeparator, 2).size() <= 2);
}

void dateTime(std::string_view text) {
    const exam::DateTime value = exam::parseDateTime(text);
    if (value == exam::MinDateTime) return;
    const exam::DateTimeFields fields = exam::splitDateTime(value);
    require(exam::isValidDateTime(fields) && exam::makeDateTime(fields) == value);
    if (value <= exam::MaxDateTime)
        require(exam::parseDateTime(exam::formatDateTime(value)) == value);
}

void number(std::string_view text) {
    const double value = exam::parseNumber(text);
    require(!std::isnan(value));
    require(!exam::formatNumber(value).empty());
}

void config(std::string_view contents) {
    const auto value = exam::findConfigValue(contents, "Server", "IP");
    if (value) require(value->size() <= exam::ConfigValueLimit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0:
            split(input);
            break;
        case 1:
            dateTime(input);
            break;
        case 2:
            number(input);
            break;
        default:
            config(input);
            break;
    }
    return 0;
}
