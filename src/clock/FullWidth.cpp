#include "clock/FullWidth.h"

#include "core/GbkChar.h"

namespace exam {

std::string foldFullWidth(std::string_view gbk) {
    std::string folded;
    folded.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (!isGbkLeadByte(lead)) {
            folded += gbk[i++];
            continue;
        }
        if (i + 1 == gbk.size()) break;
        const auto trail = static_cast<unsigned char>(gbk[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            folded += static_cast<char>(trail - 0x80);
        } else if (lead == 0xA1 && trail == 0xA1) {
            folded += ' ';
        } else if (lead == 0xA1 && trail == 0xAB) {
            folded += '~';
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            folded += '*';
        } else {
            folded += gbk.substr(i, 2);
        }
        i += 2;
    }
    return folded;
}

}  // namespace exam
