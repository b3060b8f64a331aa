#include "ui/WindowSystem.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace exam {
namespace {

WindowSystem* currentSystem = nullptr;

}  // namespace

QFont interfaceFont(int pixels) {
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(pixels > 0 ? pixels : 12);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

WindowSystem::WindowSystem() {
    // Hidden windows are still windows of the system; only destroying the last one ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(interfaceFont());
    currentSystem = this;
}

WindowSystem::~WindowSystem() {
    while (!open_.empty()) {
        std::unique_ptr<Window> w = std::move(open_.back());
        open_.pop_back();
        w->close();
    }
    closing_.clear();
    for (const QPointer<QWidget>& w : doomedWidgets_) delete w.data();
    if (currentSystem == this) currentSystem = nullptr;
}

WindowSystem* WindowSystem::current() { return currentSystem; }

void WindowSystem::define(WindowDefinition definition) {
    const WindowId id = definition.id;
    definitions_.insert_or_assign(id, std::move(definition));
}

Window* WindowSystem::window(WindowId id) const {
    for (const auto& w : open_) {
        if (w->id() == id) return w.get();
    }
    return nullptr;
}

Window* WindowSystem::bySerial(std::uint64_t serial) const {
    for (const auto& w : open_) {
        if (w->serial() == serial) return w.get();
    }
    return nullptr;
}

bool WindowSystem::openWindow(WindowId id, Modality modality) {
    if (Window* open = window(id)) {
        QWidget* top = open->widget();
        if (top->isMinimized()) top->showNormal();
        top->raise();
        if (top->isVisible()) top->activateWindow();
        return true;
    }
    auto found = definitions_.find(id);
    if (found == definitions_.end()) return false;
    const std::uint64_t serial = nextSerial_++;
    std::unique_ptr<Window> created = Window::create(*this, found->second, serial);
    if (!created) return false;
    Window* w = created.get();
    open_.push_back(std::move(created));

    const WindowDefinition& def = w->definition();
    if (def.centred) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        w->widget()->move(screen.x() + (screen.width() - def.width) / 2,
                          screen.y() + (screen.height() - def.height) / 2);
    }
    w->dispatch(def.events, Created);
    // The Created handler may have run a loop of its own in which the window went away.
    if (bySerial(serial) != w) return true;
    w->widget()->show();
    w->widget()->raise();
    w->widget()->activateWindow();
    if (modality == Modality::Modeless) return true;

    std::vector<std::pair<std::uint64_t, bool>> others;
    for (const auto& o : open_) {
        if (o.get() == w) continue;
        others.emplace_back(o->serial(), o->widget()->isEnabled());
        o->widget()->setEnabled(false);
    }
    QEventLoop loop;
    w->modalLoop_ = &loop;
    loop.exec();
    // Restored in reverse, so that a window listed twice ends as it was first found.
    for (auto it = others.rbegin(); it != others.rend(); ++it) {
        if (Window* o = bySerial(it->first)) o->widget()->setEnabled(it->second);
    }
    return true;
}

void WindowSystem::setVisible(WindowId id, bool visible) {
    if (Window* w = window(id)) w->widget()->setVisible(visible);
}

void WindowSystem::destroyWindow(WindowId id) {
    Window* w = window(id);
    if (!w) return;
    const std::uint64_t serial = w->serial();
    QMetaObject::invokeMethod(&requests_, [this, serial] { destroyNow(serial); },
                              Qt::QueuedConnection);
}

void WindowSystem::destroyNow(std::uint64_t serial) {
    auto it = std::find_if(open_.begin(), open_.end(),
                           [serial](const auto& w) { return w->serial() == serial; });
    if (it == open_.end()) return;  // already destroyed by an earlier request
    std::unique_ptr<Window> w = std::move(*it);
    open_.erase(it);
    w->close();
    // A window whose handler is suspended (in a modal loop or a message box) is freed when
    // that handler returns; its components raise nothing in the meantime.
    if (w->busy()) closing_.push_back(std::move(w));
    w.reset();
    if (open_.empty() && mainLoop_) mainLoop_->quit();
}

void WindowSystem::freeLater(Window* closed) {
    QMetaObject::invokeMethod(
        &requests_,
        [this, closed] {
            auto it = std::find_if(closing_.begin(), closing_.end(),
                                   [closed](const auto& w) { return w.get() == closed; });
            if (it != closing_.end() && !(*it)->busy()) closing_.erase(it);
        },
        Qt::QueuedConnection);
}

void WindowSystem::keepForDeletion(QWidget* widget) {
    doomedWidgets_.erase(std::remove_if(doomedWidgets_.begin(), doomedWidgets_.end(),
                                        [](const QPointer<QWidget>& p) { return p.isNull(); }),
                         doomedWidgets_.end());
    doomedWidgets_.emplace_back(widget);
}

void WindowSystem::run() {
    if (open_.empty()) return;
    QEventLoop loop;
    mainLoop_ = &loop;
    loop.exec();
    mainLoop_ = nullptr;
}

bool openWindow(WindowId id, Modality modality) {
    return WindowSystem::current() && WindowSystem::current()->openWindow(id, modality);
}

void setVisible(WindowId id, bool visible) {
    if (WindowSystem::current()) WindowSystem::current()->setVisible(id, visible);
}

void destroyWindow(WindowId id) {
    if (WindowSystem::current()) WindowSystem::current()->destroyWindow(id);
}

Window* findWindow(WindowId id) {
    return WindowSystem::current() ? WindowSystem::current()->window(id) : nullptr;
}

void messageBox(const Text& text, int flags) { messageBox(text, flags, GBK("信息：")); }

void messageBox(const Text& text, int flags, const Text& caption) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
    case 16: icon = QMessageBox::Critical; break;
    case 32: icon = QMessageBox::Question; break;
    case 48: icon = QMessageBox::Warning; break;
    case 64: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(icon, QString::fromStdString(caption.toUtf8()),
                    QString::fromStdString(text.toUtf8()), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    // Task-modal: no window of the system takes input until the box is dismissed, while their
    // timers and connections go on in the box's loop.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace exam
