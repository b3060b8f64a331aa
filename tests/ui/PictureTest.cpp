// Picture data for the picture boxes: every format from real files made at test time by
// ImageMagick (and a hand-made monochrome PCX and cursor), data too short to be a picture,
// truncated and corrupt files, and the three display modes.
#include <QtTest>

#include <QImage>
#include <QLabel>

#include "ui/Picture.h"
#include "ui/PictureBox.h"
#include "ui/StartUp.h"
#include "ui/Window.h"
#include "ui/WindowSystem.h"

using namespace exam;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::string_view view(const QByteArray& b) { return {b.constData(), static_cast<size_t>(b.size())}; }

// A monochrome PCX of version 3, as Paintbrush wrote it: 1 plane of 1 bit, RLE rows.
QByteArray monochromePcx(int width, int height, bool (*white)(int x, int y)) {
    const int bytesPerLine = ((width + 15) / 16) * 2;
    QByteArray pcx(128, '\0');
    pcx[0] = 0x0A; pcx[1] = 3; pcx[2] = 1; pcx[3] = 1;
    auto put16 = [&](int at, int v) { pcx[at] = char(v & 0xFF); pcx[at + 1] = char(v >> 8); };
    put16(8, width - 1);
    put16(10, height - 1);
    pcx[65] = 1;
    put16(66, bytesPerLine);
    for (int y = 0; y < height; ++y) {
        QByteArray row(bytesPerLine, '\0');
        for (int x = 0; x < width; ++x) {
            if (white(x, y)) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        for (char c : row) {
            if ((static_cast<unsigned char>(c) & 0xC0) == 0xC0) pcx.append(char(0xC1));
            pcx.append(c);
        }
    }
    return pcx;
}

class Samples {
public:
    Samples() {
        ok_ = dir_.isValid();
        // 24 x 16: red left half, blue right half.
        ok_ = ok_ && run({"-size", "12x16", "xc:red", "-size", "12x16", "xc:blue", "+append",
                          path("base.png")});
        ok_ = ok_ && run({"-size", "12x16", "xc:black", "-size", "12x16", "xc:white", "+append",
                          path("mono.png")});
        const QString base = path("base.png");
        ok_ = ok_ && run({base, "-type", "TrueColor", "BMP3:" + path("bmp24.bmp")});
        ok_ = ok_ && run({base, "-type", "Palette", "BMP3:" + path("bmp8.bmp")});
        ok_ = ok_ && run({base, "-quality", "95", path("photo.jpg")});
        ok_ = ok_ && run({base, "-type", "TrueColor", "-colorspace", "CMYK", path("cmyk.jpg")});
        ok_ = ok_ && run({base, "-interlace", "Plane", "-quality", "95", path("progressive.jpg")});
        ok_ = ok_ && run({base, "PNG24:" + path("rgb.png")});
        ok_ = ok_ && run({base, "PNG8:" + path("palette.png")});
        ok_ = ok_ && run({base, "-depth", "16", "PNG48:" + path("deep.png")});
        ok_ = ok_ && run({base, "-interlace", "PNG", "PNG24:" + path("interlaced.png")});
        ok_ = ok_ && run({base, "-alpha", "on", "PNG32:" + path("alpha.png")});
        ok_ = ok_ && run({base, path("icon.ico")});
        ok_ = ok_ && run({base, "GIF:" + path("still.gif")});
        ok_ = ok_ && run({"-delay", "5", base, "-size", "24x16", "xc:green", base, path("anim.gif")});
        ok_ = ok_ && run({base, "-type", "Palette", "PCX:" + path("p256.pcx")});
        ok_ = ok_ && run({base, "-type", "TrueColor", "PCX:" + path("p24.pcx")});
        ok_ = ok_ && run({path("mono.png"), "-monochrome", "PCX:" + path("imagick-mono.pcx")});
        // A cursor is an icon file with resource type 2.
        QByteArray cursor = readAll(path("icon.ico"));
        if (cursor.size() > 4) cursor[2] = 2;
        write("cursor.cur", cursor);
        write("mono.pcx", monochromePcx(24, 16, [](int x, int) { return x >= 12; }));
    }

    bool ok() const { return ok_; }
    QByteArray bytes(const QString& name) const { return readAll(dir_.filePath(name)); }

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    bool run(const QStringList& args) {
        QProcess p;
        p.start("convert", args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    void write(const QString& name, const QByteArray& data) {
        QFile f(path(name));
        ok_ = ok_ && f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

    QTemporaryDir dir_;
    bool ok_ = false;
};

Samples* samples = nullptr;

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 48 && std::abs(qGreen(a) - qGreen(b)) < 48 &&
           std::abs(qBlue(a) - qBlue(b)) < 48;
}

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        static Samples made;
        samples = &made;
        QVERIFY2(samples->ok(), "ImageMagick could not make the sample pictures");
    }
    void decodesEveryFormat_data();
    void decodesEveryFormat();
    void leavesTheBoxEmpty_data();
    void leavesTheBoxEmpty();
    void displayModes_data();
    void displayModes();
    void stretchedPhotoFillsTheConfirmWindowBox();
    void badDataReplacesAGoodPicture();
    void manyFramesOnALargeScreenStayBounded();
};

void PictureTest::decodesEveryFormat_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QRgb>("left");
    QTest::addColumn<QRgb>("right");
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    auto row = [&](const char* name, const char* file, PictureFormat f, int frames, QRgb l, QRgb r) {
        QTest::newRow(name) << QString(file) << int(f) << frames << l << r;
    };
    row("24-bit BMP", "bmp24.bmp", PictureFormat::Bmp, 1, red, blue);
    row("8-bit BMP", "bmp8.bmp", PictureFormat::Bmp, 1, red, blue);
    row("JPEG", "photo.jpg", PictureFormat::Jpeg, 1, red, blue);
    row("CMYK JPEG", "cmyk.jpg", PictureFormat::Jpeg, 1, red, blue);
    row("progressive JPEG", "progressive.jpg", PictureFormat::Jpeg, 1, red, blue);
    row("RGB PNG", "rgb.png", PictureFormat::Png, 1, red, blue);
    row("palette PNG", "palette.png", PictureFormat::Png, 1, red, blue);
    row("16-bit PNG", "deep.png", PictureFormat::Png, 1, red, blue);
    row("interlaced PNG", "interlaced.png", PictureFormat::Png, 1, red, blue);
    row("PNG with alpha", "alpha.png", PictureFormat::Png, 1, red, blue);
    row("icon", "icon.ico", PictureFormat::Icon, 1, red, blue);
    row("cursor", "cursor.cur", PictureFormat::Cursor, 1, red, blue);
    row("GIF", "still.gif", PictureFormat::Gif, 1, red, blue);
    row("animated GIF", "anim.gif", PictureFormat::Gif, 3, red, blue);
    row("256-colour PCX", "p256.pcx", PictureFormat::Pcx256, 1, red, blue);
    row("24-bit PCX", "p24.pcx", PictureFormat::Pcx256, 1, red, blue);
    row("monochrome PCX", "mono.pcx", PictureFormat::PcxMono, 1, black, white);
}

void PictureTest::decodesEveryFormat() {
    QFETCH(QString, file);
    QFETCH(int, format);
    QFETCH(int, frames);
    QFETCH(QRgb, left);
    QFETCH(QRgb, right);
    const QByteArray data = samples->bytes(file);
    QVERIFY(!data.isEmpty());
    QCOMPARE(int(recognisePicture(view(data))), format);
    const Picture picture = decodePicture(view(data));
    QCOMPARE(int(picture.frames.size()), frames);
    const QImage& image = picture.frames.front();
    QCOMPARE(image.size(), QSize(24, 16));
    QVERIFY2(near(image.pixel(3, 8), left), qPrintable(QString::number(image.pixel(3, 8), 16)));
    QVERIFY2(near(image.pixel(20, 8), right), qPrintable(QString::number(image.pixel(20, 8), 16)));
    if (frames > 1) QVERIFY(near(picture.frames[1].pixel(3, 8), qRgb(0, 128, 0)));
}

void PictureTest::leavesTheBoxEmpty_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("format");  // what the first bytes announce
    const QByteArray png = samples->bytes("rgb.png");
    for (int n = 0; n <= 7; ++n) {
        QTest::newRow(qPrintable(QString("%1 bytes of a PNG").arg(n))) << png.left(n) << int(PictureFormat::None);
    }
    QTest::newRow("plain text") << QByteArray("this is no picture at all") << int(PictureFormat::None);
    QTest::newRow("icon header with no images") << QByteArray("\0\0\1\0\0\0\0\0\0\0", 10) << int(PictureFormat::None);
    QTest::newRow("PCX of another version")
        << samples->bytes("imagick-mono.pcx").replace(1, 1, "\x07") << int(PictureFormat::None);
    const struct {
        const char* name;
        const char* file;
        PictureFormat format;
    } files[] = {{"BMP", "bmp24.bmp", PictureFormat::Bmp},       {"JPEG", "photo.jpg", PictureFormat::Jpeg},
                 {"PNG", "rgb.png", PictureFormat::Png},         {"icon", "icon.ico", PictureFormat::Icon},
                 {"cursor", "cursor.cur", PictureFormat::Cursor}, {"GIF", "still.gif", PictureFormat::Gif},
                 {"256-colour PCX", "p256.pcx", PictureFormat::Pcx256},
                 {"monochrome PCX", "mono.pcx", PictureFormat::PcxMono}};
    for (const auto& f : files) {
        const QByteArray whole = samples->bytes(f.file);
        QTest::newRow(qPrintable(QString("%1 cut in half").arg(f.name))) << whole.left(whole.size() / 2) << int(f.format);
        QTest::newRow(qPrintable(QString("%1 without its last 3 bytes").arg(f.name))) << whole.left(whole.size() - 3) << int(f.format);
        QTest::newRow(qPrintable(QString("%1 signature and zeros").arg(f.name)))
            << whole.left(8) + QByteArray(64, '\0') << int(f.format);
        QByteArray garbage = whole.left(8);
        for (int i = 0; i < 300; ++i) garbage.append(char((i * 73 + 41) & 0xFF));
        QTest::newRow(qPrintable(QString("%1 signature and noise").arg(f.name))) << garbage << int(f.format);
    }
    QByteArray badCrc = png;
    badCrc[png.indexOf("IDAT") + 6] = char(badCrc[png.indexOf("IDAT") + 6] ^ 0x55);
    QTest::newRow("PNG with a damaged data chunk") << badCrc << int(PictureFormat::Png);
    QByteArray badJpeg = samples->bytes("photo.jpg");
    badJpeg.truncate(badJpeg.indexOf("\xFF\xDA") + 2);  // nothing after the start of scan
    QTest::newRow("JPEG ending at its scan header") << badJpeg << int(PictureFormat::Jpeg);
    QByteArray hugeBmp = samples->bytes("bmp24.bmp");
    hugeBmp.replace(18, 8, QByteArray("\xFF\xFF\x00\x00\xFF\xFF\x00\x00", 8));
    QTest::newRow("BMP claiming 65535 x 65535") << hugeBmp << int(PictureFormat::Bmp);
    // 8193 x 8193 is over 64 Mpixels: two megabytes of runs must not become a 256 MB picture.
    QByteArray hugePcx(128, '\0');
    hugePcx[0] = 0x0A; hugePcx[1] = 5; hugePcx[2] = 1; hugePcx[3] = 8;
    hugePcx[8] = 0x00; hugePcx[9] = 0x20; hugePcx[10] = 0x00; hugePcx[11] = 0x20;  // 0..8192
    hugePcx[65] = 1; hugePcx[66] = 0x02; hugePcx[67] = 0x20;                       // 8194 a line
    QByteArray line = QByteArray("\xFF\x07", 2).repeated(8194 / 63) + QByteArray("\xC5\x07", 2);
    hugePcx += line.repeated(8193);
    hugePcx += '\x0C';
    hugePcx += QByteArray(768, '\x7F');
    QTest::newRow("256-colour PCX of 8193 x 8193") << hugePcx << int(PictureFormat::Pcx256);
}

void PictureTest::leavesTheBoxEmpty() {
    QFETCH(QByteArray, data);
    QFETCH(int, format);
    QCOMPARE(int(recognisePicture(view(data))), format);
    QVERIFY(decodePicture(view(data)).empty());
    // The same bytes through a picture box of a window: empty, no message, no crash.
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(WindowId::Confirm, Modality::Modeless));
    Window* w = system.window(WindowId::Confirm);
    w->setPicture(GBK("考生照片标签"), view(data));
    auto* box = static_cast<PictureBox*>(w->controlWidget(GBK("考生照片标签")));
    QVERIFY(box->picture().empty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void PictureTest::displayModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("shown");  // in an 80 x 104 box
    QTest::newRow("own size") << 0 << QSize(40, 20) << QRect(0, 0, 40, 20);
    QTest::newRow("own size, larger than the box") << 0 << QSize(200, 300) << QRect(0, 0, 200, 300);
    QTest::newRow("stretched, smaller") << 1 << QSize(10, 7) << QRect(0, 0, 80, 104);
    QTest::newRow("stretched, larger") << 1 << QSize(995, 711) << QRect(0, 0, 80, 104);
    QTest::newRow("centred, smaller") << 2 << QSize(40, 20) << QRect(20, 42, 40, 20);
    QTest::newRow("centred, wider than the box") << 2 << QSize(160, 40) << QRect(0, 42, 80, 20);
    QTest::newRow("centred, taller than the box") << 2 << QSize(40, 208) << QRect(30, 0, 20, 104);
}

void PictureTest::displayModes() {
    QFETCH(int, mode);
    QFETCH(QSize, picture);
    QFETCH(QRect, shown);
    QImage image(picture, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "PNG"));
    QWidget parent;
    PictureBox box(&parent, static_cast<DisplayMode>(mode), kButtonFace);
    box.setGeometry(0, 0, 80, 104);
    box.setPicture(decodePicture(view(png)));
    QCOMPARE(box.pictureRect(), shown);
    const QImage drawn = box.grab().toImage();
    const QRect visible = shown.intersected(box.rect());
    QVERIFY(near(drawn.pixel(visible.center()), qRgb(255, 0, 0)));
    if (!box.rect().contains(shown.adjusted(-1, -1, 1, 1)) || shown == box.rect()) return;
    // Outside the picture the box shows its background.
    QVERIFY(near(drawn.pixel(shown.right() + 1 < 80 ? QPoint(79, 103) : QPoint(0, 103)), kButtonFace));
}

void PictureTest::stretchedPhotoFillsTheConfirmWindowBox() {
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(WindowId::Confirm, Modality::Modeless));
    Window* w = system.window(WindowId::Confirm);
    const QByteArray png = samples->bytes("rgb.png");
    w->setPicture(GBK("考生照片标签"), view(png));
    QWidget* box = w->controlWidget(GBK("考生照片标签"));
    QCOMPARE(box->size(), QSize(80, 104));
    const QImage drawn = box->grab().toImage();
    // Red on the left half, blue on the right, from edge to edge and top to bottom.
    for (QPoint p : {QPoint(0, 0), QPoint(0, 103), QPoint(30, 52)}) QVERIFY(near(drawn.pixel(p), qRgb(255, 0, 0)));
    for (QPoint p : {QPoint(79, 0), QPoint(79, 103), QPoint(50, 52)}) QVERIFY(near(drawn.pixel(p), qRgb(0, 0, 255)));
}

void PictureTest::badDataReplacesAGoodPicture() {
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(WindowId::Confirm, Modality::Modeless));
    Window* w = system.window(WindowId::Confirm);
    auto* box = static_cast<PictureBox*>(w->controlWidget(GBK("考生照片标签")));
    w->setPicture(GBK("考生照片标签"), view(samples->bytes("anim.gif")));
    QVERIFY(box->picture().animated());
    QTRY_VERIFY_WITH_TIMEOUT(box->currentFrame() > 0, 5000);  // the animation runs
    w->setPicture(GBK("考生照片标签"), "GIF89a");
    QVERIFY(box->picture().empty());
    QVERIFY(near(box->grab().toImage().pixel(40, 52), kButtonFace));
}

// A few kilobytes of GIF (tiny frames on a 4096 x 4096 logical screen) must not become
// gigabytes of full-screen frames: the photo comes from the network.
void PictureTest::manyFramesOnALargeScreenStayBounded() {
    QByteArray gif("GIF89a", 6);
    gif += QByteArray("\x00\x10\x00\x10\x80\x00\x00", 7);       // 4096 x 4096, 2 colours
    gif += QByteArray("\x00\x00\x00\xFF\xFF\xFF", 6);
    gif += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);  // loop
    for (int i = 0; i < 40; ++i) {
        gif += QByteArray("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);  // 100 ms
        gif += QByteArray("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);  // 1 x 1 at 0, 0
        gif += QByteArray("\x02\x02\x44\x01\x00", 5);
    }
    gif += ';';
    QCOMPARE(recognisePicture(view(gif)), PictureFormat::Gif);
    Picture picture = decodePicture(view(gif));
    long long pixels = 0;
    for (const QImage& frame : picture.frames) pixels += qint64(frame.width()) * frame.height();
    QVERIFY2(pixels <= kMaxPicturePixels, qPrintable(QString::number(picture.frames.size())));
    QVERIFY(!picture.empty());
    QCOMPARE(picture.frames.front().size(), QSize(4096, 4096));
}

QTEST_MAIN(PictureTest)
#include "PictureTest.moc"
