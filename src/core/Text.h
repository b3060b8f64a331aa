// Text: the system's string value. A text is a byte string in the Chinese Windows code page
// (GBK) that holds no zero byte; there is exactly one empty text, which reads as "". Texts are
// owned values: copying copies the bytes, assigning releases what the variable held before.
//
// Everything inside the system (network messages, ClientState, comparisons, archive entry
// names, paths) is a Text. Unicode exists only at the edges: the window layer converts to and
// from QString, the file layer to the file system's UTF-8. Literals are written in UTF-8 source
// and converted once with GBK("...").
//
// Bytes is the counted byte string of the system: it may hold zero bytes (received data,
// pictures, archive contents).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace exam {

using Bytes = std::string;

class Text {
public:
    Text() = default;

    // The bytes up to, not including, the first zero byte; all of them when there is none.
    explicit Text(std::string_view gbk);
    explicit Text(const char* gbk) : Text(std::string_view(gbk ? gbk : "")) {}

    // Converts UTF-8 to GBK. Characters that GBK cannot hold become "?"; an invalid UTF-8
    // sequence becomes "?" too. Never fails.
    static Text fromUtf8(std::string_view utf8);
    // Converts to UTF-8. A byte sequence that is not valid GBK becomes U+FFFD. Never fails.
    std::string toUtf8() const;

    const std::string& bytes() const { return bytes_; }
    std::string_view view() const { return bytes_; }
    const char* c_str() const { return bytes_.c_str(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }

    Text& operator+=(const Text& other) {
        bytes_ += other.bytes_;
        return *this;
    }
    friend Text operator+(Text a, const Text& b) { return a += b; }
    friend bool operator==(const Text& a, const Text& b) = default;

private:
    std::string bytes_;
};

}  // namespace exam

// GBK("考试系统"): the GBK text of a UTF-8 literal, converted the first time the expression
// runs and kept for the life of the process.
#define GBK(utf8)                                                          \
    ([]() -> const ::exam::Text& {                                         \
        static const ::exam::Text converted = ::exam::Text::fromUtf8(utf8); \
        return converted;                                                  \
    }())
