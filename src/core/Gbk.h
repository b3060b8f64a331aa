// The code page conversion between GBK and UTF-8, the one place where the system changes an
// encoding. Both directions are total: what cannot be converted is replaced, never dropped
// silently and never reported as an error.
#pragma once

#include <string>
#include <string_view>

namespace exam {

// UTF-8 to GBK. A character outside GBK, or an invalid UTF-8 sequence, becomes "?".
std::string utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. An invalid or truncated GBK sequence becomes U+FFFD (one per bad byte).
std::string gbkToUtf8(std::string_view gbk);

}  // namespace exam
