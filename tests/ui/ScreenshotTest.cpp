// examclient's screenshot mode on a real X server (Xvfb, 1280x1024): each window is drawn at
// its defined size, centred on the screen, and the pictures show text, not empty boxes.
#include <QtTest>

#include <QImage>

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowAtItsPlace_data();
    void windowAtItsPlace();

private:
    QTemporaryDir dir_;
};

void ScreenshotTest::initTestCase() {
    QVERIFY(dir_.isValid());
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(QStringLiteral(EXAM_BINARY_DIR "/src/app/examclient"), {"--screenshots", dir_.path()});
    QVERIFY(client.waitForFinished(60000));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
}

void ScreenshotTest::windowAtItsPlace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("textArea");  // a region that holds a caption, inside the window
    QTest::newRow("login") << "login" << QSize(1000, 400) << QRect(492 + 108, 80 + 67, 48, 16);
    QTest::newRow("confirm") << "confirm" << QSize(1000, 400) << QRect(492 + 52, 80 + 24, 200, 16);
    QTest::newRow("notice") << "notice" << QSize(996, 711) << QRect(599 + 20, 622, 180, 16);
    QTest::newRow("console") << "console" << QSize(525, 185) << QRect(8 + 16, 8 + 16, 456, 48);
}

void ScreenshotTest::windowAtItsPlace() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QRect, textArea);
    const QImage window(dir_.filePath(name + ".png"));
    const QImage screen(dir_.filePath(name + "-screen.png"));
    QCOMPARE(window.size(), size);
    QCOMPARE(screen.size(), QSize(1280, 1024));
    const QPoint origin((1280 - size.width()) / 2, (1024 - size.height()) / 2);
    // The window's own picture is what the screen shows at the centred place.
    int same = 0, samples = 0;
    for (int y = 0; y < size.height(); y += 7) {
        for (int x = 0; x < size.width(); x += 7) {
            ++samples;
            if (window.pixel(x, y) == screen.pixel(origin + QPoint(x, y))) ++same;
        }
    }
    QVERIFY2(same * 100 >= samples * 98, qPrintable(QString("%1 of %2 samples match").arg(same).arg(samples)));
    // Just outside the window the screen is the empty root window.
    QCOMPARE(screen.pixel(origin - QPoint(1, 1)), screen.pixel(0, 0));
    // A caption area holds drawn glyphs: at least a few dark or light strokes that differ
    // clearly from the area's most common colour.
    QHash<QRgb, int> counts;
    for (int y = textArea.top(); y <= textArea.bottom(); ++y) {
        for (int x = textArea.left(); x <= textArea.right(); ++x) ++counts[window.pixel(x, y)];
    }
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    }
    int strokes = 0;
    for (int y = textArea.top(); y <= textArea.bottom(); ++y) {
        for (int x = textArea.left(); x <= textArea.right(); ++x) {
            const QRgb p = window.pixel(x, y);
            if (std::abs(qGray(p) - qGray(background)) > 80) ++strokes;
        }
    }
    QVERIFY2(strokes > 20, qPrintable(QString("%1 stroke pixels").arg(strokes)));
}

QTEST_GUILESS_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
