// The GBK character boundary rule shared by the text scanners: a byte from 0x81 to 0xFE starts
// a two-byte character, every other byte stands alone. Scanners that walk a text character by
// character use it so that a trail byte is never taken for an ASCII letter, digit or blank.
#pragma once

namespace exam {

inline bool isGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace exam
