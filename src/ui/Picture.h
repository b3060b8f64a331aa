// Picture: decoding of the picture data a picture box is given. The format is recognised from
// the first bytes only (never from a name); JPEG and PNG go through libjpeg and libpng, BMP,
// icon, cursor and GIF through Qt's readers, PCX through a small reader of our own. Data that
// is no picture, or fails to decode, gives an empty Picture: nothing is reported, nothing
// crashes, and no decoder may end the process.
//
// Plain values; UI thread (QImage is not shared across threads here).
#pragma once

#include <string_view>
#include <vector>

#include <QImage>

namespace exam {

enum class PictureFormat { None, Bmp, Jpeg, Png, Icon, Cursor, Gif, Pcx256, PcxMono };

// The format the first bytes announce, in the fixed order of the checks; None for fewer than 8
// bytes or for anything unrecognised.
PictureFormat recognisePicture(std::string_view bytes);

struct Picture {
    std::vector<QImage> frames;  // empty: nothing to show
    std::vector<int> delays;     // per frame, milliseconds (animated GIF only)

    bool empty() const { return frames.empty(); }
    bool animated() const { return frames.size() > 1; }
};

Picture decodePicture(std::string_view bytes);

// The largest picture a decoder accepts; larger headers are taken as corrupt data.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr long long kMaxPicturePixels = 64LL * 1024 * 1024;

// The decoders behind decodePicture; each returns a null image on any failure.
QImage decodeJpeg(std::string_view bytes);
QImage decodePng(std::string_view bytes);
QImage decodePcx(std::string_view bytes);

}  // namespace exam
