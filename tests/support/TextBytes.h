// Test helpers: a Text as the QByteArray that Qt Test compares and prints, and back.
#pragma once

#include <QByteArray>

#include "core/Text.h"

namespace exam::test {

inline QByteArray bytes(const Text& t) { return QByteArray::fromStdString(t.bytes()); }
inline Text text(const QByteArray& b) { return Text(b.toStdString()); }
// The GBK bytes of a UTF-8 literal.
inline QByteArray gbk(const char* utf8) { return bytes(Text::fromUtf8(utf8)); }

}  // namespace exam::test
