// The window layer: modal opening in a nested loop, raising an open window, deferred
// destruction, the Esc rule on the four windows, and windows closed while a handler of theirs
// is suspended.
#include <QtTest>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWidget>

#include <string>
#include <vector>

#include "clock/IntervalTimer.h"
#include "net/TcpClient.h"
#include "ui/StartUp.h"
#include "ui/Window.h"
#include "ui/WindowSystem.h"

using namespace exam;

namespace {

// What the test handlers saw; handlers are plain functions, so they report here.
struct Trace {
    std::vector<std::string> steps;
    int componentTicks = 0;
    bool openReturnedAtOnce = false;
    Text textAfterReturn;
    Text textAfterDestroyRequest;
    bool existedAfterDestroyRequest = false;

    bool has(const std::string& step) const {
        return std::find(steps.begin(), steps.end(), step) != steps.end();
    }
};
Trace trace;

void onOpenConfirm(Window& window) {
    trace.steps.push_back("open");
    openWindow(WindowId::Confirm, Modality::Modal);
    trace.steps.push_back("returned");
    // The handler's own window may have been destroyed meanwhile; it is still safe to use.
    trace.textAfterReturn = window.getText(GBK("标签"));
}

void onTick(Window&) { ++trace.componentTicks; }

Bytes received;
void onData(Window& window) { received += window.client(GBK("客户1")).receivedData(); }

void onDestroySelf(Window& window) {
    destroyWindow(window.id());
    // The request is deferred: the rest of the handler still finds its window and controls.
    trace.existedAfterDestroyRequest = findWindow(window.id()) == &window;
    window.setText(GBK("标签"), GBK("仍在"));
    trace.textAfterDestroyRequest = window.getText(GBK("标签"));
}

void onReopenSelf(Window& window) {
    trace.openReturnedAtOnce = openWindow(window.id(), Modality::Modal);
    trace.steps.push_back("reopened");
}

ControlDefinition button(const char* name, WindowHandler handler) {
    return {.kind = ControlKind::Button, .name = Text::fromUtf8(name), .geometry = {10, 10, 80, 24},
            .caption = Text::fromUtf8(name), .events = {{Clicked, handler}}};
}

WindowDefinition hostDefinition() {
    return {.id = WindowId::Login, .caption = GBK("主窗口"), .width = 300, .height = 200,
            .controls = {button("打开", onOpenConfirm), button("自毁", onDestroySelf),
                         button("再开", onReopenSelf),
                         {.kind = ControlKind::Label, .name = GBK("标签"), .geometry = {10, 50, 100, 16},
                          .caption = GBK("标签")},
                         {.kind = ControlKind::Timer, .name = GBK("时钟1"),
                          .events = {{IntervalTimer::Tick, onTick}}},
                         {.kind = ControlKind::Client, .name = GBK("客户1"),
                          .events = {{TcpClient::DataArrival, onData}}}}};
}

WindowDefinition dialogDefinition() {
    return {.id = WindowId::Confirm, .caption = GBK("对话框"), .width = 200, .height = 100,
            .controls = {button("再开", onReopenSelf),
                         {.kind = ControlKind::Label, .name = GBK("标签"), .geometry = {10, 50, 100, 16},
                          .caption = GBK("标签")}}};
}

QPushButton* buttonOf(Window* window, const char* name) {
    return qobject_cast<QPushButton*>(window->controlWidget(Text::fromUtf8(name)));
}

// Fails the test instead of hanging it when a nested loop never ends.
struct Watchdog {
    explicit Watchdog(WindowId id, int ms = 10000) {
        QTimer::singleShot(ms, Qt::PreciseTimer, &guard, [this, id] {
            fired = true;
            destroyWindow(id);
        });
    }
    QObject guard;
    bool fired = false;
};

bool intervalTimerTicks() {
    IntervalTimer probe(5);
    bool ticked = false;
    probe.bind(IntervalTimer::Tick, [&] { ticked = true; });
    QElapsedTimer clock;
    clock.start();
    while (!ticked && clock.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return ticked;
}

}  // namespace

class WindowSystemTest : public QObject {
    Q_OBJECT
private slots:
    void init() { trace = Trace(); }
    void modalOpenSuspendsTheCallerWhileHiddenWindowsRun();
    void componentTimerOfADisabledWindowTicksInTheNestedLoop();
    void connectionOfAHiddenDisabledWindowDeliversInTheNestedLoop();
    void openingAnOpenWindowOnlyRaisesIt();
    void destroyIsDeferredUntilTheHandlerReturns();
    void windowDestroyedWhileItsHandlerIsSuspended();
    void definitionsThatCannotBeBuiltOpenNothing_data();
    void definitionsThatCannotBeBuiltOpenNothing();
    void escClosesEachWindow_data();
    void escClosesEachWindow();
    void messageBoxFlagsAndCaption_data();
    void messageBoxFlagsAndCaption();
};

void WindowSystemTest::modalOpenSuspendsTheCallerWhileHiddenWindowsRun() {
    WindowSystem system;
    system.define(hostDefinition());
    system.define(dialogDefinition());
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* host = system.window(WindowId::Login);
    QVERIFY(host->widget()->isVisible());

    // A plain timer stands for the events of the other windows while the nested loop runs.
    int ticks = 0;
    bool hostDisabledInside = true, dialogOpenInside = false, suspendedInside = false;
    Text textOfHiddenHost;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 3) {
            // Inside the nested loop: hide the disabled caller and write to its controls.
            setVisible(WindowId::Login, false);
            host->setText(GBK("标签"), GBK("已隐藏"));
        }
        if (ticks == 10) {
            hostDisabledInside = !host->widget()->isEnabled();
            dialogOpenInside = system.window(WindowId::Confirm) != nullptr;
            suspendedInside = trace.has("open") && !trace.has("returned");
            textOfHiddenHost = host->getText(GBK("标签"));
            destroyWindow(WindowId::Confirm);
        }
    });
    ticker.start();
    Watchdog watchdog(WindowId::Confirm);

    buttonOf(host, "打开")->click();  // returns only once the dialog is gone

    QVERIFY(!watchdog.fired);
    QVERIFY(ticks >= 10);
    QVERIFY(suspendedInside);
    QVERIFY(dialogOpenInside);
    QVERIFY(hostDisabledInside);
    QCOMPARE(textOfHiddenHost.toUtf8(), std::string("已隐藏"));
    QVERIFY(trace.has("returned"));
    QCOMPARE(system.window(WindowId::Confirm), nullptr);
    QVERIFY(host->widget()->isEnabled());    // restored
    QVERIFY(!host->widget()->isVisible());   // hidden, still a window of the system
    QCOMPARE(system.window(WindowId::Login), host);
}

void WindowSystemTest::componentTimerOfADisabledWindowTicksInTheNestedLoop() {
    if (!intervalTimerTicks()) QSKIP("IntervalTimer does not tick in this build yet");
    WindowSystem system;
    system.define(hostDefinition());
    system.define(dialogDefinition());
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* host = system.window(WindowId::Login);
    host->timer(GBK("时钟1")).setPeriod(5);
    setVisible(WindowId::Login, false);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (trace.componentTicks >= 5) destroyWindow(WindowId::Confirm);
    });
    poll.start(5);
    Watchdog watchdog(WindowId::Confirm);
    buttonOf(host, "打开")->click();
    QVERIFY(!watchdog.fired);
    QVERIFY(trace.componentTicks >= 5);
}

void WindowSystemTest::connectionOfAHiddenDisabledWindowDeliversInTheNestedLoop() {
    // The peer is a plain Qt server on its own loopback address, not one of the system's classes.
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress("127.0.0.7"), 0));
    received.clear();
    WindowSystem system;
    system.define(hostDefinition());
    system.define(dialogDefinition());
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* host = system.window(WindowId::Login);
    if (!host->client(GBK("客户1")).connect(Text("127.0.0.7"), peer.serverPort())) {
        QSKIP("TcpClient does not connect in this build yet");
    }
    QVERIFY(peer.waitForNewConnection(5000));
    QTcpSocket* accepted = peer.nextPendingConnection();
    setVisible(WindowId::Login, false);
    bool disconnected = false;
    QTimer::singleShot(0, Qt::PreciseTimer, [&] {
        accepted->write("idfgA1");  // arrives while Login is hidden and disabled
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (received == "idfgA1") destroyWindow(WindowId::Login);
        });
        poll.start(5);
        QObject::connect(accepted, &QTcpSocket::disconnected, [&] {
            disconnected = true;  // destroying the window closed its connection
            destroyWindow(WindowId::Confirm);
        });
        QEventLoop wait;
        QObject::connect(accepted, &QTcpSocket::disconnected, &wait, &QEventLoop::quit);
        QTimer::singleShot(10000, &wait, &QEventLoop::quit);
        wait.exec();
    });
    Watchdog watchdog(WindowId::Confirm);
    QVERIFY(openWindow(WindowId::Confirm, Modality::Modal));
    QVERIFY(!watchdog.fired);
    QCOMPARE(received, Bytes("idfgA1"));
    QVERIFY(disconnected);
    QCOMPARE(system.window(WindowId::Login), nullptr);
}

void WindowSystemTest::openingAnOpenWindowOnlyRaisesIt() {
    WindowSystem system;
    system.define(hostDefinition());
    system.define(dialogDefinition());
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* host = system.window(WindowId::Login);
    const std::uint64_t serial = host->serial();
    host->setText(GBK("标签"), GBK("原样"));
    Watchdog watchdog(WindowId::Login);

    // From the window's own handler, asking for a modal open: no nested loop, nothing rebuilt.
    buttonOf(host, "再开")->click();
    QVERIFY(trace.openReturnedAtOnce);
    QVERIFY(trace.has("reopened"));
    QVERIFY(openWindow(WindowId::Login, Modality::Modal));
    QCOMPARE(system.window(WindowId::Login), host);
    QCOMPARE(host->serial(), serial);
    QCOMPARE(host->getText(GBK("标签")).toUtf8(), std::string("原样"));
    QVERIFY(host->widget()->isEnabled());

    // The same for a modal window asked again from inside its own nested loop.
    QTimer::singleShot(0, Qt::PreciseTimer, [&] {
        Window* dialog = system.window(WindowId::Confirm);
        buttonOf(dialog, "再开")->click();
        destroyWindow(WindowId::Confirm);
    });
    QVERIFY(openWindow(WindowId::Confirm, Modality::Modal));
    QVERIFY(!watchdog.fired);
    QCOMPARE(std::count(trace.steps.begin(), trace.steps.end(), "reopened"), 2);
}

void WindowSystemTest::destroyIsDeferredUntilTheHandlerReturns() {
    WindowSystem system;
    system.define(hostDefinition());
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* host = system.window(WindowId::Login);
    QPointer<QWidget> widget = host->widget();
    buttonOf(host, "自毁")->click();
    QVERIFY(trace.existedAfterDestroyRequest);
    QCOMPARE(trace.textAfterDestroyRequest.toUtf8(), std::string("仍在"));
    QCOMPARE(system.window(WindowId::Login), host);  // still there until the loop runs
    QTRY_VERIFY_WITH_TIMEOUT(system.window(WindowId::Login) == nullptr, 5000);
    QVERIFY(!system.anyWindow());
    QTRY_VERIFY_WITH_TIMEOUT(widget.isNull(), 5000);
}

void WindowSystemTest::windowDestroyedWhileItsHandlerIsSuspended() {
    WindowSystem system;
    system.define(hostDefinition());
    system.define(dialogDefinition());
    QVERIFY(system.openWindow(WindowId::Login, Modality::Modeless));
    Window* host = system.window(WindowId::Login);
    bool hostGoneInside = false;
    QTimer::singleShot(0, Qt::PreciseTimer, [&] {
        destroyWindow(WindowId::Login);  // the caller's window, while its handler is suspended
        QTimer::singleShot(20, Qt::PreciseTimer, [&] {
            hostGoneInside = system.window(WindowId::Login) == nullptr;
            destroyWindow(WindowId::Confirm);
        });
    });
    Watchdog watchdog(WindowId::Confirm);
    buttonOf(host, "打开")->click();
    QVERIFY(!watchdog.fired);
    QVERIFY(hostGoneInside);
    QVERIFY(trace.has("returned"));
    QCOMPARE(trace.textAfterReturn.toUtf8(), std::string("标签"));
    QVERIFY(!system.anyWindow());
}

void WindowSystemTest::definitionsThatCannotBeBuiltOpenNothing_data() {
    QTest::addColumn<int>("fault");
    QTest::newRow("no definition") << 0;
    QTest::newRow("parent not defined before the control") << 1;
    QTest::newRow("parent is a label") << 2;
    QTest::newRow("page beyond the tab control") << 3;
    QTest::newRow("two controls of one name") << 4;
}

void WindowSystemTest::definitionsThatCannotBeBuiltOpenNothing() {
    QFETCH(int, fault);
    WindowSystem system;
    WindowDefinition def = dialogDefinition();
    const ControlDefinition label{.kind = ControlKind::Label, .name = GBK("标签9"), .geometry = {0, 0, 9, 9}};
    ControlDefinition child{.kind = ControlKind::Label, .name = GBK("子"), .geometry = {0, 0, 9, 9}};
    switch (fault) {
    case 1: child.parent = GBK("后来的框"); def.controls.push_back(child);
            def.controls.push_back({.kind = ControlKind::PictureBox, .name = GBK("后来的框")}); break;
    case 2: def.controls.push_back(label); child.parent = label.name; def.controls.push_back(child); break;
    case 3: def.controls.push_back({.kind = ControlKind::TabControl, .name = GBK("选择夹"), .pages = 3});
            child.parent = GBK("选择夹"); child.page = 3; def.controls.push_back(child); break;
    case 4: def.controls.push_back(label); def.controls.push_back(label); break;
    default: break;
    }
    if (fault != 0) system.define(def);
    QVERIFY(!system.openWindow(WindowId::Confirm, Modality::Modal));
    QVERIFY(!system.anyWindow());
    const QWidgetList tops = QApplication::topLevelWidgets();
    QVERIFY(std::none_of(tops.cbegin(), tops.cend(), [](QWidget* w) { return w->isVisible(); }));
}

void WindowSystemTest::escClosesEachWindow_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("focus");  // the control that has the focus; empty: the window
    auto row = [](const char* name, WindowId id, const char* focus) {
        QTest::newRow(name) << int(id) << QString(focus);
    };
    row("LoginWindow, window", WindowId::Login, "");
    row("LoginWindow, edit box", WindowId::Login, "考生号输入框");
    row("LoginWindow, button", WindowId::Login, "登录按钮");
    row("ConfirmWindow, window", WindowId::Confirm, "");
    row("ConfirmWindow, button", WindowId::Confirm, "按钮2");
    row("NoticeWindow, window", WindowId::Notice, "");
    row("NoticeWindow, rules box", WindowId::Notice, "考试注意事项编辑框");
    row("NoticeWindow, check box", WindowId::Notice, "选择框1");
    row("ConsoleWindow, window", WindowId::Console, "");
}

void WindowSystemTest::escClosesEachWindow() {
    QFETCH(int, id);
    QFETCH(QString, focus);
    const auto window = static_cast<WindowId>(id);
    WindowSystem system;
    defineWindows(system);
    bool pressed = false;
    // Esc goes to the control that has the focus, as a user's key press would.
    QTimer::singleShot(0, Qt::PreciseTimer, [&] {
        Window* w = system.window(window);
        QWidget* target = focus.isEmpty() ? w->widget()
                                          : w->controlWidget(Text::fromUtf8(focus.toStdString()));
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        pressed = true;
    });
    Watchdog watchdog(window);
    QVERIFY(system.openWindow(window, Modality::Modal));  // suspended until Esc destroyed it
    QVERIFY(pressed);
    QVERIFY(!watchdog.fired);
    QCOMPARE(system.window(window), nullptr);
}

void WindowSystemTest::messageBoxFlagsAndCaption_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("caption");  // empty: none given
    QTest::addColumn<QString>("expectedCaption");
    QTest::addColumn<int>("icon");
    QTest::newRow("exclamation") << 48 << "登录失败" << "登录失败" << int(QMessageBox::Warning);
    QTest::newRow("information") << 64 << "请耐心等待" << "请耐心等待" << int(QMessageBox::Information);
    QTest::newRow("default caption") << 64 << "" << "信息：" << int(QMessageBox::Information);
}

void WindowSystemTest::messageBoxFlagsAndCaption() {
    QFETCH(int, flags);
    QFETCH(QString, caption);
    QFETCH(QString, expectedCaption);
    QFETCH(int, icon);
    WindowSystem system;
    QString seenTitle, seenText;
    int seenIcon = -1;
    Qt::WindowModality seenModality = Qt::NonModal;
    QTimer::singleShot(0, Qt::PreciseTimer, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        seenModality = box->windowModality();
        box->button(QMessageBox::Ok)->click();
    });
    QTimer::singleShot(10000, Qt::PreciseTimer, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    const Text text = GBK("考生信息有误，请重新输入");
    if (caption.isEmpty()) {
        messageBox(text, flags);
    } else {
        messageBox(text, flags, Text::fromUtf8(caption.toStdString()));
    }
    QCOMPARE(seenTitle, expectedCaption);
    QCOMPARE(seenText, QStringLiteral("考生信息有误，请重新输入"));
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenModality, Qt::ApplicationModal);
}

QTEST_MAIN(WindowSystemTest)
#include "WindowSystemTest.moc"
