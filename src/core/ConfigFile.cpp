#include "core/ConfigFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/Gbk.h"
#include "core/GbkChar.h"

namespace exam {
namespace {

// The blanks of the profile reader: C white space and the DOS end-of-file mark.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A';
}

// Trail bytes of GBK are 0x40 and above, so trimming blanks byte by byte never cuts a character.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view withoutLeadingControls(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
    return s;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Case-insensitive for ASCII letters only; a double-byte character must match exactly, so two
// Chinese names whose trail bytes differ only as ASCII letters do not match.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (isGbkLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Notepad on Windows saves "Unicode" files as UTF-16 with a byte-order mark; the Windows reader
// accepts them, so this one does too. A lone surrogate becomes U+FFFD; an odd last byte is lost.
std::string utf16ToUtf8(std::string_view s, bool bigEndian) {
    auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(s[i]);
        const auto b = static_cast<unsigned char>(s[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < s.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

// The contents as GBK bytes, whatever encoding the byte-order mark declares.
std::string asGbk(std::string_view contents) {
    if (contents.starts_with("\xEF\xBB\xBF")) return utf8ToGbk(contents.substr(3));
    if (contents.starts_with("\xFF\xFE")) return utf8ToGbk(utf16ToUtf8(contents.substr(2), false));
    if (contents.starts_with("\xFE\xFF")) return utf8ToGbk(utf16ToUtf8(contents.substr(2), true));
    return std::string(contents);
}

std::string_view withoutQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

std::string_view cutToLimit(std::string_view value) {
    if (value.size() <= ConfigValueLimit) return value;
    std::size_t end = 0;
    while (end < ConfigValueLimit) {
        const bool pair = isGbkLeadByte(static_cast<unsigned char>(value[end]));
        if (pair && end + 2 > ConfigValueLimit) break;
        end += pair ? 2 : 1;
    }
    return value.substr(0, end);
}

std::optional<std::string> readSmallFile(const std::string& path) {
    std::error_code error;
    // Only a regular file: a FIFO or a device would block or never end.
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string contents(ConfigFileLimit + 1, '\0');
    in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (in.bad()) return std::nullopt;
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > ConfigFileLimit) return std::nullopt;
    contents.resize(got);
    return contents;
}

std::string filePath(std::string_view fileName) {
    std::string name = Text(fileName).toUtf8();
    if (name.find_first_of("/\\") == std::string::npos) return configFolder() + "/" + name;
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

}  // namespace

std::optional<Text> findConfigValue(std::string_view contents, std::string_view section,
                                    std::string_view key) {
    const std::string text = asGbk(contents);
    if (text.find('\0') != std::string::npos) return std::nullopt;
    section = trimmed(section);
    key = trimmed(key);

    enum class Where { Before, Inside, After } where = Where::Before;
    std::string_view rest = text;
    while (!rest.empty() && where != Where::After) {
        const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
        const std::string_view line = trimmed(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                const bool match = sameName(trimmed(line.substr(1, close - 1)), section);
                if (where == Where::Inside)
                    where = Where::After;
                else if (match)
                    where = Where::Inside;
                continue;
            }
        }
        if (where != Where::Inside) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;  // not an assignment
        if (!sameName(trimmed(line.substr(0, equals)), key)) continue;
        return Text(cutToLimit(withoutQuotes(trimmed(line.substr(equals + 1)))));
    }
    return std::nullopt;
}

Text readConfigValue(const Text& fileName, const Text& section, const Text& key,
                     const Text& defaultValue) {
    const std::string_view name = withoutLeadingControls(fileName.view());
    const std::string_view sectionName = withoutLeadingControls(section.view());
    const std::string_view keyName = withoutLeadingControls(key.view());
    if (name.empty() || sectionName.empty() || keyName.empty()) return Text();

    // The default passes through the same 10240-byte result buffer as a value read.
    const Text fallback(cutToLimit(defaultValue.view()));
    const std::optional<std::string> contents = readSmallFile(filePath(name));
    if (!contents) return fallback;
    std::optional<Text> value = findConfigValue(*contents, sectionName, keyName);
    return value ? *value : fallback;
}

}  // namespace exam
