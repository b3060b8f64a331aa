// PNG pictures through libpng, reading from memory. libpng reports errors by longjmp to the
// setjmp below; data that ends early is such an error.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "ui/Picture.h"

namespace exam {
namespace {

struct Source {
    std::string_view bytes;
    std::size_t offset = 0;
};

void readData(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > source->bytes.size() - source->offset) png_error(png, "data ends early");
    std::memcpy(out, source->bytes.data() + source->offset, length);
    source->offset += length;
}

void ignoreWarning(png_structp, png_const_charp) {}
[[noreturn]] void raiseError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source source;
    std::vector<png_bytep> rows;
    QImage image;

    ~Decoder() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }

    bool run() {
        png_set_read_fn(png, &source, readData);
        png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
        png_read_info(png, info);
        const png_uint_32 width = png_get_image_width(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        if (static_cast<long long>(width) * height > kMaxPicturePixels) return false;
        // Every PNG becomes 8-bit BGRA in memory, which is QImage's ARGB32 on little-endian.
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) return false;
        image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
        if (image.isNull()) return false;
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.scanLine(static_cast<int>(y));
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        return true;
    }
};

}  // namespace

QImage decodePng(std::string_view bytes) {
    Decoder d;
    d.source.bytes = bytes;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, raiseError, ignoreWarning);
    if (!d.png) return QImage();
    d.info = png_create_info_struct(d.png);
    if (!d.info) return QImage();
    if (setjmp(png_jmpbuf(d.png)) != 0) return QImage();
    if (!d.run()) return QImage();
    return d.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace exam
