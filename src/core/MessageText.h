// Message text: the operations that build and take apart the field-separated texts exchanged
// with the exam services. Fields are joined by the two letters "fg" with no escaping, so a
// field that itself holds "fg" is split there by the receiver.
//
// Pure functions on values; usable from any thread. fieldAt is the one exception to "failure
// travels as a result": a missing field is the fatal stop.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/Text.h"

namespace exam {

// "fg", the bytes 0x66 0x67.
inline constexpr std::string_view FieldSeparator = "fg";

// An ordered list of fields, field 1 first. A field may be empty.
using FieldList = std::vector<Text>;

// The received bytes up to, not including, the first zero byte.
Text bytesToText(std::string_view bytes);

// f1 "fg" f2 "fg" ... fn, byte for byte; empty fields keep their place.
Text joinFields(std::span<const Text> fields);
template <std::same_as<Text>... Fields>
Text joinFields(const Fields&... fields) {
    const std::array<Text, sizeof...(Fields)> list{fields...};
    return joinFields(std::span<const Text>(list));
}

// Splits text at each separator that starts at a character boundary (a byte of 0x80 or above
// starts a two-byte character whose second byte is never looked at). A leading separator gives
// an empty first field, separators in a row give empty fields, a trailing separator gives no
// empty last field. With a limit, at most that many fields are returned and everything after
// the limit-th separator is dropped; a negative limit counts as 0. An empty text gives no
// fields; an empty separator gives the whole text as one field.
FieldList splitFields(std::string_view text, std::string_view separator,
                      std::optional<int> limit = std::nullopt);
inline FieldList splitFields(const Text& text, std::string_view separator,
                             std::optional<int> limit = std::nullopt) {
    return splitFields(text.view(), separator, limit);
}
inline FieldList splitFields(const Text& text, const Text& separator,
                             std::optional<int> limit = std::nullopt) {
    return splitFields(text.view(), separator.view(), limit);
}

// A copy of field k, counted from 1. A list with fewer than k fields (or k below 1) raises the
// fatal stop with code 1 and "数组成员引用下标超出定义范围"; it does not return then.
Text fieldAt(const FieldList& fields, int k);

// True exactly when both texts hold the same bytes; case-sensitive.
inline bool sameText(const Text& a, const Text& b) {
    return a.view() == b.view();
}

}  // namespace exam
