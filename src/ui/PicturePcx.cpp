// PCX pictures: 256-colour (one 8-bit plane and the palette at the end), 24-bit (three 8-bit
// planes) and monochrome (one 1-bit plane). Run-length decoding as ZSoft defined it: a byte
// with the two top bits set repeats the next byte (low six bits) times.
#include <cstdint>
#include <vector>

#include "ui/Picture.h"

namespace exam {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 769;  // 0x0C, then 256 RGB triples

std::uint16_t word(std::string_view b, std::size_t i) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[i]) |
                                      static_cast<std::uint8_t>(b[i + 1]) << 8);
}

// Decodes exactly `count` bytes of scan data from `pos`; false when the data ends early.
bool unpackRle(std::string_view b, std::size_t& pos, std::size_t end, std::vector<std::uint8_t>& out,
               std::size_t count) {
    out.clear();
    out.reserve(count);
    while (out.size() < count) {
        if (pos >= end) return false;
        std::uint8_t v = static_cast<std::uint8_t>(b[pos++]);
        std::size_t run = 1;
        if ((v & 0xC0) == 0xC0) {
            run = v & 0x3F;
            if (pos >= end) return false;
            v = static_cast<std::uint8_t>(b[pos++]);
        }
        // A run may cross the end of a scan line; what lies beyond the picture is dropped.
        for (std::size_t i = 0; i < run && out.size() < count; ++i) out.push_back(v);
    }
    return true;
}

}  // namespace

QImage decodePcx(std::string_view b) {
    if (b.size() < kHeaderSize) return QImage();
    const int bitsPerPixel = static_cast<std::uint8_t>(b[3]);
    const int xMin = word(b, 4), yMin = word(b, 6), xMax = word(b, 8), yMax = word(b, 10);
    const int planes = static_cast<std::uint8_t>(b[65]);
    const int bytesPerLine = word(b, 66);
    if (xMax < xMin || yMax < yMin) return QImage();
    const int width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        static_cast<long long>(width) * height > kMaxPicturePixels)
        return QImage();
    const bool mono = bitsPerPixel == 1 && planes == 1;
    const bool indexed = bitsPerPixel == 8 && planes == 1;
    const bool rgb = bitsPerPixel == 8 && planes == 3;
    if (!mono && !indexed && !rgb) return QImage();
    if (bytesPerLine * 8 < width * bitsPerPixel) return QImage();

    std::size_t end = b.size();
    std::vector<QRgb> palette;
    if (indexed) {
        if (b.size() < kHeaderSize + kPaletteSize || b[b.size() - kPaletteSize] != 0x0C) return QImage();
        end = b.size() - kPaletteSize;
        for (std::size_t i = end + 1; i < b.size(); i += 3) {
            palette.push_back(qRgb(static_cast<std::uint8_t>(b[i]), static_cast<std::uint8_t>(b[i + 1]),
                                   static_cast<std::uint8_t>(b[i + 2])));
        }
    }

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return QImage();
    std::size_t pos = kHeaderSize;
    std::vector<std::uint8_t> line;
    const std::size_t lineBytes = static_cast<std::size_t>(bytesPerLine) * planes;
    for (int y = 0; y < height; ++y) {
        if (!unpackRle(b, pos, end, line, lineBytes)) return QImage();
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (mono) {
                const bool set = line[x / 8] & (0x80 >> (x % 8));
                out[x] = set ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            } else if (indexed) {
                out[x] = palette[line[x]];
            } else {
                out[x] = qRgb(line[x], line[bytesPerLine + x], line[2 * bytesPerLine + x]);
            }
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace exam
