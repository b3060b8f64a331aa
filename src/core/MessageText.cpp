#include "core/MessageText.h"

#include "core/FatalError.h"

namespace exam {

Text bytesToText(std::string_view bytes) {
    return Text(bytes);
}

Text joinFields(std::span<const Text> fields) {
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) joined += FieldSeparator;
        joined += fields[i].view();
    }
    return Text(joined);
}

FieldList splitFields(std::string_view text, std::string_view separator, std::optional<int> limit) {
    FieldList fields;
    if (limit && *limit < 0) limit = 0;
    if (text.empty() || (limit && *limit == 0)) return fields;
    if (separator.empty()) {
        fields.emplace_back(text);
        return fields;
    }
    std::size_t start = 0;
    std::size_t p = 0;
    while (text.size() - p >= separator.size()) {
        if (text.compare(p, separator.size(), separator) == 0) {
            fields.emplace_back(text.substr(start, p - start));
            p += separator.size();
            start = p;
            if (limit && --*limit == 0) return fields;
        } else if (static_cast<unsigned char>(text[p]) >= 0x80) {
            // The trail byte of a double-byte character never starts a separator.
            if (p + 1 == text.size()) break;
            p += 2;
        } else {
            ++p;
        }
    }
    if (start < text.size()) fields.emplace_back(text.substr(start));
    return fields;
}

Text fieldAt(const FieldList& fields, int k) {
    if (k < 1 || static_cast<std::size_t>(k) > fields.size()) {
        raiseFatalError(1, GBK("数组成员引用下标超出定义范围"));
    }
    return fields[static_cast<std::size_t>(k) - 1];
}

}  // namespace exam
