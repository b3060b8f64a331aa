// The four window definitions as built on screen: every control's name, kind, parent, place,
// size, caption (as GBK bytes), font and initial state, the windows' sizes and centring, and
// the components with their defined periods and ports.
#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>

#include "clock/IntervalTimer.h"
#include "net/TcpListener.h"
#include "ui/PictureBox.h"
#include "ui/StartUp.h"
#include "ui/Window.h"
#include "ui/WindowSystem.h"

using namespace exam;

namespace {

QByteArray gbkHex(const Text& t) { return QByteArray::fromStdString(t.bytes()).toHex(' '); }

// The grey level of the darkest pixel a widget draws: its text, for a button or check box.
int darkest(QWidget* w) {
    const QImage image = w->grab().toImage();
    int level = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) level = std::min(level, qGray(image.pixel(x, y)));
    return level;
}

}  // namespace

class WindowDefinitionTest : public QObject {
    Q_OBJECT
private slots:
    void windows_data();
    void windows();
    void controls_data();
    void controls();
    void components();
    void consolePagesAreSwitchedOnlyByTheProgram();
    void textsCrossTheWindowLayerAsGbk();
};

void WindowDefinitionTest::windows_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("caption");
    QTest::newRow("LoginWindow") << int(WindowId::Login) << QSize(1000, 400) << "考试系统";
    QTest::newRow("ConfirmWindow") << int(WindowId::Confirm) << QSize(1000, 400) << "考试系统";
    QTest::newRow("NoticeWindow") << int(WindowId::Notice) << QSize(996, 711) << "";
    QTest::newRow("ConsoleWindow") << int(WindowId::Console) << QSize(525, 185) << "";
}

void WindowDefinitionTest::windows() {
    QFETCH(int, id);
    QFETCH(QSize, size);
    QFETCH(QString, caption);
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(static_cast<WindowId>(id), Modality::Modeless));
    QWidget* top = system.window(static_cast<WindowId>(id))->widget();
    QCOMPARE(top->size(), size);
    QCOMPARE(top->windowTitle(), caption);
    QVERIFY(top->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(top->windowFlags() & Qt::WindowType_Mask, Qt::Window);  // shown in the taskbar
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(top->pos(), QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2));
    QVERIFY(top->isVisible());
}

void WindowDefinitionTest::controls_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");    // the widget class
    QTest::addColumn<QString>("parent");  // empty: the window; else control name (and page)
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("fontPixels");
    auto row = [](WindowId id, const char* name, const char* kind, const char* parent, QRect r,
                  const char* caption, bool enabled = true, int font = 12) {
        const char* window[] = {"Login", "Confirm", "Notice", "Console"};
        QTest::newRow(qPrintable(QString("%1 %2").arg(window[int(id)], name)))
            << int(id) << QString(name) << QString(kind) << QString(parent) << r << QString(caption)
            << enabled << font;
    };
    for (WindowId id : {WindowId::Login, WindowId::Confirm}) {
        row(id, "图片框1", "exam::PictureBox", "", {28, 90, 456, 86}, "");
        row(id, "图片框2", "exam::PictureBox", "", {111, 187, 283, 93}, "");
        row(id, "图片框3", "exam::PictureBox", "", {492, 80, 504, 209}, "");
    }
    const WindowId L = WindowId::Login;
    row(L, "连接状态标签", "QLabel", "图片框3", {52, 24, 192, 16}, "考生登录");
    row(L, "标签2", "QLabel", "图片框3", {108, 67, 48, 16}, "考生号：");
    row(L, "考生号输入框", "QLineEdit", "图片框3", {172, 64, 200, 20}, "");
    row(L, "标签3", "QLabel", "图片框3", {108, 114, 56, 16}, "身份证号：");
    row(L, "身份证号输入框", "QLineEdit", "图片框3", {172, 111, 200, 20}, "");
    row(L, "登录按钮", "QPushButton", "图片框3", {212, 160, 118, 39}, "登录");
    const WindowId C = WindowId::Confirm;
    row(C, "标签1", "QLabel", "图片框3", {52, 24, 440, 16}, "考生信息查看（本考场为）");
    row(C, "标签2", "QLabel", "图片框3", {52, 56, 48, 16}, "姓名：");
    row(C, "考生姓名标签", "QLabel", "图片框3", {112, 56, 48, 16}, "考生姓名");
    row(C, "标签4", "QLabel", "图片框3", {51, 81, 48, 16}, "考生号：");
    row(C, "考生号标签", "QLabel", "图片框3", {113, 81, 123, 16}, "考生号");
    row(C, "标签6", "QLabel", "图片框3", {51, 104, 61, 16}, "身份证号：");
    row(C, "身份证号标签", "QLabel", "图片框3", {115, 103, 153, 16}, "身份证号");
    row(C, "考生照片标签", "exam::PictureBox", "图片框3", {380, 40, 80, 104}, "");
    row(C, "按钮1", "QPushButton", "图片框3", {124, 168, 72, 24}, "信息有误");
    row(C, "按钮2", "QPushButton", "图片框3", {232, 168, 72, 24}, "信息正确");
    row(C, "开始考试按钮", "QPushButton", "图片框3", {336, 168, 72, 24}, "开始考试", false);
    const WindowId N = WindowId::Notice;
    row(N, "考试注意事项编辑框", "QPlainTextEdit", "", {88, 164, 824, 444}, "");
    row(N, "选择框1", "QCheckBox", "", {599, 622, 200, 16}, "我已阅读并同意遵守以上内容。");
    row(N, "按钮1", "QPushButton", "", {808, 616, 104, 22}, "确定", false);
    const WindowId K = WindowId::Console;
    row(K, "选择夹1", "QStackedWidget", "", {8, 8, 512, 176}, "");
    row(K, "标签1", "QLabel", "选择夹1/0", {16, 16, 456, 48}, "请等待监考员发出开始考试指令", true, 32);
    row(K, "标签5", "QLabel", "选择夹1/0", {16, 57, 456, 48}, "考试开始前请不要进行任何操作", true, 32);
    row(K, "时间标签", "QLabel", "选择夹1/0", {120, 120, 240, 24}, " ");
    row(K, "标签3", "QLabel", "选择夹1/1", {8, 8, 232, 24}, "本场考试剩余时间：");
    row(K, "分钟标签", "QLabel", "选择夹1/1", {144, 40, 80, 56}, "标签", true, 35);
    row(K, "标签4", "QLabel", "选择夹1/1", {230, 39, 32, 56}, "：", true, 35);
    row(K, "秒标签", "QLabel", "选择夹1/1", {250, 39, 80, 56}, "标签", true, 35);
    row(K, "标签2", "QLabel", "选择夹1/2", {40, 16, 432, 72}, "考试结束！请等待收卷完成后有序离场。", true, 24);
}

void WindowDefinitionTest::controls() {
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    QFETCH(int, fontPixels);
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(static_cast<WindowId>(id), Modality::Modeless));
    Window* window = system.window(static_cast<WindowId>(id));
    const Text control = Text::fromUtf8(name.toStdString());
    QWidget* w = window->controlWidget(control);
    QVERIFY(w);
    QCOMPARE(QString(w->metaObject()->className()), kind);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(w->font().pixelSize(), fontPixels);
    QCOMPARE(w->font().family(), QStringLiteral("WenQuanYi Zen Hei"));

    const QStringList p = parent.split('/');
    if (parent.isEmpty()) {
        QCOMPARE(w->parentWidget(), window->widget());
    } else if (p.size() == 1) {
        QCOMPARE(w->parentWidget(), window->controlWidget(Text::fromUtf8(p[0].toStdString())));
    } else {
        auto* tab = qobject_cast<QStackedWidget*>(window->controlWidget(Text::fromUtf8(p[0].toStdString())));
        QVERIFY(tab);
        QCOMPARE(w->parentWidget(), tab->widget(p[1].toInt()));
    }

    const Text expected = Text::fromUtf8(caption.toStdString());
    if (kind == "QLabel" || kind == "QLineEdit" || kind == "QPlainTextEdit") {
        QCOMPARE(gbkHex(window->getText(control)), gbkHex(expected));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QCOMPARE(button->text(), caption);
    }
    if (auto* box = qobject_cast<QCheckBox*>(w)) QVERIFY(!box->isChecked());
    if (qobject_cast<QAbstractButton*>(w)) {
        // A disabled button or check box is drawn greyed, so the examinee sees it can't be used.
        window->setEnabled(control, true);
        const int shownEnabled = darkest(w);
        window->setEnabled(control, false);
        const int shownDisabled = darkest(w);
        QVERIFY2(shownDisabled > shownEnabled + 40,
                 qPrintable(QString("%1 / %2").arg(shownEnabled).arg(shownDisabled)));
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        QVERIFY(edit->isReadOnly());
        QCOMPARE(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);  // the ID-card number is shown in clear
        QVERIFY(!edit->isReadOnly());
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        QVERIFY(!label->wordWrap());
        const QRgb colour = label->palette().color(QPalette::WindowText).rgb();
        QCOMPARE(colour, id <= int(WindowId::Confirm) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    }
}

void WindowDefinitionTest::components() {
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(WindowId::Console, Modality::Modeless));
    Window* console = system.window(WindowId::Console);
    for (const char* name : {"时钟1", "时钟2", "时钟3"}) {
        QCOMPARE(console->timer(Text::fromUtf8(name)).period(), 0);
    }
    QCOMPARE(console->listener(GBK("服务器1")).port(), 18730);
    QCOMPARE(console->listener(GBK("服务器2")).port(), 18731);
    // The clients and the archive component are there by name (a missing one stops the program).
    console->client(GBK("考题接受客户"));
    console->client(GBK("客户1"));
    console->client(GBK("客户2"));
    console->archiver(GBK("ZIP压缩1"));
    for (WindowId id : {WindowId::Login, WindowId::Confirm, WindowId::Notice}) {
        QVERIFY(system.openWindow(id, Modality::Modeless));
        system.window(id)->client(GBK("客户1"));
    }
    system.window(WindowId::Notice)->client(GBK("客户2"));
}

void WindowDefinitionTest::consolePagesAreSwitchedOnlyByTheProgram() {
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(WindowId::Console, Modality::Modeless));
    Window* console = system.window(WindowId::Console);
    const Text tab = GBK("选择夹1");
    QCOMPARE(console->currentPage(tab), 0);
    QVERIFY(console->controlWidget(GBK("标签1"))->isVisible());
    QVERIFY(!console->controlWidget(GBK("分钟标签"))->isVisible());
    QVERIFY(!console->controlWidget(GBK("标签2"))->isVisible());
    const struct {
        int asked, shown;
    } cases[] = {{1, 1}, {2, 2}, {3, 2}, {1000, 2}, {-1, 0}, {-2147483647 - 1, 0}, {1, 1}};
    for (const auto& c : cases) {
        console->selectPage(tab, c.asked);
        QCOMPARE(console->currentPage(tab), c.shown);
        QCOMPARE(console->controlWidget(GBK("标签1"))->isVisible(), c.shown == 0);
        QCOMPARE(console->controlWidget(GBK("分钟标签"))->isVisible(), c.shown == 1);
        QCOMPARE(console->controlWidget(GBK("标签2"))->isVisible(), c.shown == 2);
    }
    // No tab strip: the page widget is a plain stack.
    QVERIFY(console->widget()->findChildren<QTabBar*>().isEmpty());
}

void WindowDefinitionTest::textsCrossTheWindowLayerAsGbk() {
    WindowSystem system;
    defineWindows(system);
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* login = system.window(WindowId::Login);
    // "登录" in GBK is B5 C7 C2 BC.
    QCOMPARE(gbkHex(Text::fromUtf8(
                 qobject_cast<QPushButton*>(login->controlWidget(GBK("登录按钮")))->text().toStdString())),
             QByteArray("b5 c7 c2 bc"));
    // Typed Chinese text comes back as GBK bytes.
    QWidget* edit = login->controlWidget(GBK("考生号输入框"));
    for (const QString& ch : {QStringLiteral("考"), QStringLiteral("生"), QStringLiteral("7")}) {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, ch, Qt::NoModifier);
    }
    QCOMPARE(gbkHex(login->getText(GBK("考生号输入框"))), QByteArray("bf bc c9 fa 37"));
    // GBK written to a label shows as the Unicode text.
    login->setText(GBK("连接状态标签"), Text(std::string_view("\xD5\xFD\xD4\xDA\xC1\xAC\xBD\xD3")));
    QCOMPARE(qobject_cast<QLabel*>(login->controlWidget(GBK("连接状态标签")))->text(), QStringLiteral("正在连接"));
    // A multi-line box keeps CR LF line ends at the interface.
    QVERIFY(system.openWindow(WindowId::Notice, Modality::Modeless));
    Window* notice = system.window(WindowId::Notice);
    const Text rules = GBK("第一条") + Text("\r\n") + GBK("第二条");
    notice->setText(GBK("考试注意事项编辑框"), rules);
    QCOMPARE(gbkHex(notice->getText(GBK("考试注意事项编辑框"))), gbkHex(rules));
    QCOMPARE(qobject_cast<QPlainTextEdit*>(notice->controlWidget(GBK("考试注意事项编辑框")))->blockCount(), 2);
}

QTEST_MAIN(WindowDefinitionTest)
#include "WindowDefinitionTest.moc"
