#include "core/Text.h"

#include "core/Gbk.h"

namespace exam {

Text::Text(std::string_view gbk) : bytes_(gbk.substr(0, gbk.find('\0'))) {}

Text Text::fromUtf8(std::string_view utf8) { return Text(utf8ToGbk(utf8)); }

std::string Text::toUtf8() const { return gbkToUtf8(bytes_); }

}  // namespace exam
