// JPEG pictures through libjpeg. libjpeg's default error handler ends the process, so errors
// jump back here instead; a file cut short (libjpeg only warns and pads it with grey) counts
// as corrupt as well.
#include <stdio.h>

#include <csetjmp>
#include <cstddef>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "ui/Picture.h"

namespace exam {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool truncated = false;
};

[[noreturn]] void errorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void emitMessage(j_common_ptr info, int level) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && err->base.msg_code == JWRN_JPEG_EOF) err->truncated = true;
}

void outputMessage(j_common_ptr) {}

// Everything that must survive a longjmp lives outside the function that calls setjmp.
struct Decoder {
    jpeg_decompress_struct info{};
    ErrorManager err{};
    std::vector<unsigned char> row;
    QImage image;

    ~Decoder() { jpeg_destroy_decompress(&info); }

    // Returns false on any error; a longjmp lands in decode().
    bool run(std::string_view bytes) {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
        if (info.image_width == 0 || info.image_height == 0 ||
            info.image_width > static_cast<unsigned>(kMaxPictureSide) ||
            info.image_height > static_cast<unsigned>(kMaxPictureSide) ||
            static_cast<long long>(info.image_width) * info.image_height > kMaxPicturePixels) {
            return false;
        }
        const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        jpeg_start_decompress(&info);
        const int channels = info.output_components;
        if ((cmyk && channels != 4) || (!cmyk && channels != 3)) return false;
        image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                       QImage::Format_RGB32);
        if (image.isNull()) return false;
        row.resize(static_cast<std::size_t>(info.output_width) * channels);
        while (info.output_scanline < info.output_height) {
            const int y = static_cast<int>(info.output_scanline);
            JSAMPROW rows[1] = {row.data()};
            if (jpeg_read_scanlines(&info, rows, 1) != 1) return false;
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (JDIMENSION x = 0; x < info.output_width; ++x) {
                const unsigned char* p = row.data() + static_cast<std::size_t>(x) * channels;
                if (cmyk) {
                    // Adobe writes CMYK inverted: the stored values are already 255 - ink.
                    const int k = p[3];
                    out[x] = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
                } else {
                    out[x] = qRgb(p[0], p[1], p[2]);
                }
            }
        }
        jpeg_finish_decompress(&info);
        return !err.truncated;
    }
};

}  // namespace

QImage decodeJpeg(std::string_view bytes) {
    Decoder d;
    d.info.err = jpeg_std_error(&d.err.base);
    d.err.base.error_exit = errorExit;
    d.err.base.emit_message = emitMessage;
    d.err.base.output_message = outputMessage;
    if (setjmp(d.err.jump) != 0) return QImage();
    jpeg_create_decompress(&d.info);
    if (!d.run(bytes)) return QImage();
    return d.image;
}

}  // namespace exam
