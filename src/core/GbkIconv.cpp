// GBK <-> UTF-8 through glibc's iconv.
#include "core/Gbk.h"

#include <iconv.h>

#include <cerrno>

namespace exam {
namespace {

// Converts all of in, replacing each unconvertible or invalid input sequence by `replacement`
// and skipping one input byte for it. Returns the converted bytes.
std::string convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;

    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int error = errno;  // append may allocate and change errno
        out.append(buffer, dst - buffer);
        if (r != static_cast<size_t>(-1)) continue;
        if (error == E2BIG) continue;
        // EILSEQ (invalid or unconvertible) or EINVAL (truncated at the end): replace one byte.
        out += replacement;
        ++src;
        --srcLeft;
        if (error == EILSEQ || error == EINVAL) {
            // Skip the rest of a broken UTF-8 sequence so that one character gives one "?".
            if (std::string_view(from) == "UTF-8") {
                while (srcLeft > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80) {
                    ++src;
                    --srcLeft;
                }
            }
        }
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) { return convert("GBK", "UTF-8", utf8, "?"); }

std::string gbkToUtf8(std::string_view gbk) {
    return convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD");
}

}  // namespace exam
