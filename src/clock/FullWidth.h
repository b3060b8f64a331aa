// Full-width folding: the first step of the date-time and number parsers, so that what an
// examiner types with a Chinese input method reads as its ASCII twin. Pure function; any thread.
#pragma once

#include <string>
#include <string_view>

namespace exam {

// Walks the GBK text character by character: a full-width form of ASCII 0x21..0x7E (A3 A1..A3
// FE) becomes that ASCII byte, the ideographic space (A1 A1) a space, "～" (A1 AB) "~", the white
// and the black star (A1 EE, A1 EF) "*". Everything else is copied; a lead byte at the very end
// is dropped.
std::string foldFullWidth(std::string_view gbk);

}  // namespace exam
