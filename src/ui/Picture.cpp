#include "ui/Picture.h"

#include <cstdint>
#include <cstring>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace exam {
namespace {

std::uint8_t byteAt(std::string_view b, std::size_t i) { return static_cast<std::uint8_t>(b[i]); }

std::uint16_t word(std::string_view b, std::size_t i) {
    return static_cast<std::uint16_t>(byteAt(b, i) | byteAt(b, i + 1) << 8);
}

std::uint32_t dword(std::string_view b, std::size_t i) {
    return word(b, i) | static_cast<std::uint32_t>(word(b, i + 2)) << 16;
}

bool sizeAcceptable(const QSize& size) {
    return size.isValid() && size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide &&
           static_cast<long long>(size.width()) * size.height() <= kMaxPicturePixels;
}

// Qt's BMP reader shows a file cut short in its pixel rows as a partly black picture; a
// truncated bitmap is corrupt data to us, so the rows must all be there.
bool bitmapComplete(std::string_view b) {
    if (b.size() < 54) return false;
    const std::uint32_t offBits = dword(b, 10);
    const std::uint32_t infoSize = dword(b, 14);
    if (infoSize < 40) return true;  // old OS/2 headers: left to the reader
    const auto width = static_cast<std::int32_t>(dword(b, 18));
    const auto height = static_cast<std::int32_t>(dword(b, 22));
    const std::uint16_t bitCount = word(b, 28);
    const std::uint32_t compression = dword(b, 30);
    if (width <= 0 || height == 0 || width > kMaxPictureSide) return false;
    const long long rows = height < 0 ? -static_cast<long long>(height) : height;
    if (rows > kMaxPictureSide) return false;
    if (compression != 0 && compression != 3) return offBits < b.size();  // RLE: the reader checks
    const long long stride = ((static_cast<long long>(width) * bitCount + 31) / 32) * 4;
    return static_cast<long long>(offBits) + stride * rows <= static_cast<long long>(b.size());
}

// Qt's GIF reader shows a frame whose data is cut short as far as it goes; we want the whole
// stream up to the trailer, so the block structure is walked first.
bool gifComplete(std::string_view b) {
    std::size_t pos = 13;
    if (b.size() < pos) return false;
    auto skipColourTable = [&](std::uint8_t flags) {
        if (flags & 0x80) pos += 3u << ((flags & 0x07) + 1);
    };
    auto skipSubBlocks = [&]() {
        while (pos < b.size()) {
            const std::uint8_t n = byteAt(b, pos++);
            if (n == 0) return true;
            pos += n;
        }
        return false;
    };
    skipColourTable(byteAt(b, 10));
    while (pos < b.size()) {
        const std::uint8_t kind = byteAt(b, pos++);
        if (kind == 0x3B) return true;
        if (kind == 0x21) {
            if (++pos > b.size() || !skipSubBlocks()) return false;  // label, then data
        } else if (kind == 0x2C) {
            if (pos + 9 > b.size()) return false;
            const std::uint8_t flags = byteAt(b, pos + 8);
            pos += 9;
            skipColourTable(flags);
            if (++pos > b.size() || !skipSubBlocks()) return false;  // LZW code size, then data
        } else {
            return false;
        }
    }
    return false;
}

Picture readWithQt(std::string_view bytes, const char* format, bool allFrames) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    Picture picture;
    if (!reader.canRead()) return picture;
    if (reader.size().isValid() && !sizeAcceptable(reader.size())) return picture;
    constexpr int kMaxFrames = 2000;
    // Every frame is a whole screen, however small its data: an animation keeps only the frames
    // that fit into one picture's worth of pixels.
    long long pixels = 0;
    while (picture.frames.size() < kMaxFrames) {
        QImage frame;
        if (!reader.read(&frame) || frame.isNull()) break;
        if (!sizeAcceptable(frame.size())) return {};
        pixels += static_cast<long long>(frame.width()) * frame.height();
        if (pixels > kMaxPicturePixels && !picture.frames.empty()) break;
        picture.frames.push_back(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        const int delay = reader.nextImageDelay();
        picture.delays.push_back(delay > 10 ? delay : 100);
        // Qt's readers move on to the next frame by themselves.
        if (!allFrames) break;
    }
    return picture;
}

Picture single(QImage image) {
    Picture picture;
    if (image.isNull()) return picture;
    picture.frames.push_back(std::move(image));
    picture.delays.push_back(0);
    return picture;
}

}  // namespace

PictureFormat recognisePicture(std::string_view b) {
    if (b.size() < 8) return PictureFormat::None;
    if (b[0] == 'B' && b[1] == 'M') return PictureFormat::Bmp;
    if (byteAt(b, 0) == 0xFF && byteAt(b, 1) == 0xD8) return PictureFormat::Jpeg;
    if (byteAt(b, 0) == 0x89 && b.substr(1, 3) == "PNG") return PictureFormat::Png;
    if (word(b, 0) == 0 && word(b, 4) != 0) {
        if (word(b, 2) == 1) return PictureFormat::Icon;
        if (word(b, 2) == 2) return PictureFormat::Cursor;
    }
    if (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a") return PictureFormat::Gif;
    if (byteAt(b, 0) == 0x0A) {
        if (byteAt(b, 1) <= 5 && byteAt(b, 2) == 1 && byteAt(b, 3) == 8) return PictureFormat::Pcx256;
        if (byteAt(b, 1) == 3 && byteAt(b, 2) == 1 && byteAt(b, 3) == 1) return PictureFormat::PcxMono;
    }
    return PictureFormat::None;
}

Picture decodePicture(std::string_view bytes) {
    switch (recognisePicture(bytes)) {
    case PictureFormat::None: return {};
    case PictureFormat::Bmp:
        if (!bitmapComplete(bytes)) return {};
        return readWithQt(bytes, "bmp", false);
    case PictureFormat::Jpeg: return single(decodeJpeg(bytes));
    case PictureFormat::Png: return single(decodePng(bytes));
    case PictureFormat::Icon: return readWithQt(bytes, "ico", false);
    case PictureFormat::Cursor: return readWithQt(bytes, "cur", false);
    case PictureFormat::Gif:
        if (!gifComplete(bytes)) return {};
        return readWithQt(bytes, "gif", true);
    case PictureFormat::Pcx256:
    case PictureFormat::PcxMono: return single(decodePcx(bytes));
    }
    return {};
}

}  // namespace exam
