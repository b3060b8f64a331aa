#include "ui/Window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>

#include "clock/IntervalTimer.h"
#include "files/ZipArchiver.h"
#include "net/TcpClient.h"
#include "net/TcpListener.h"
#include "ui/PictureBox.h"
#include "ui/WindowSystem.h"

namespace exam {
namespace {

QString toQt(const Text& text) { return QString::fromStdString(text.toUtf8()); }
Text fromQt(const QString& text) { return Text::fromUtf8(text.toStdString()); }

QImage assetImage(std::string_view path) {
    if (path.empty()) return QImage();
    QFile file(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    if (!file.open(QIODevice::ReadOnly)) return QImage();
    const QByteArray bytes = file.readAll();
    Picture picture = decodePicture(std::string_view(bytes.constData(), bytes.size()));
    return picture.empty() ? QImage() : picture.frames.front();
}

Picture assetPicture(std::string_view path) {
    Picture picture;
    QImage image = assetImage(path);
    if (!image.isNull()) {
        picture.frames.push_back(std::move(image));
        picture.delays.push_back(0);
    }
    return picture;
}

// The top-level widget: draws the window's background and turns Esc and close requests into
// the window's destruction.
class WindowWidget : public QWidget {
public:
    WindowWidget(const WindowDefinition& def, std::function<void()> closeRequest)
        : closeRequest_(std::move(closeRequest)), mode_(def.background),
          picture_(assetImage(def.backgroundPicture)), escCloses_(def.escCloses) {
        Qt::WindowFlags flags = Qt::Window;
        if (def.borderless) flags |= Qt::FramelessWindowHint;
        if (!def.inTaskbar) flags |= Qt::Tool;
        setWindowFlags(flags);
        setWindowTitle(toQt(def.caption));
        setFixedSize(def.width, def.height);
    }

    void forgetOwner() { closeRequest_ = nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (mode_ == BackgroundMode::ButtonFace || picture_.isNull()) {
            painter.fillRect(rect(), QColor::fromRgb(kButtonFace));
        } else if (mode_ == BackgroundMode::Tiled) {
            painter.drawTiledPixmap(rect(), QPixmap::fromImage(picture_));
        } else {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(rect(), picture_);
        }
    }

    // Reached only when the focused control did not take the key itself.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && escCloses_ && event->modifiers() == Qt::NoModifier) {
            event->accept();
            if (closeRequest_) closeRequest_();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    // The window manager's close (Alt+F4 and the like) destroys the window the same way; the
    // widget itself is never closed by Qt, only deleted by its Window.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (closeRequest_) closeRequest_();
    }

private:
    std::function<void()> closeRequest_;
    BackgroundMode mode_;
    QImage picture_;
    bool escCloses_;
};

// A label whose background picture is laid out from its parent's origin, so that a label on a
// picture box with the same picture blends into it.
class LabelWidget : public QLabel {
public:
    LabelWidget(QWidget* parent, const ControlDefinition& def)
        : QLabel(parent), background_(QColor::fromRgb(def.background)),
          picture_(assetImage(def.backgroundPicture)) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            if (picture_.isNull()) {
                painter.fillRect(rect(), background_);
            } else {
                painter.drawTiledPixmap(rect(), QPixmap::fromImage(picture_), pos());
            }
        }
        QLabel::paintEvent(event);
    }

private:
    QColor background_;
    QImage picture_;
};

void applyTextStyle(QWidget* widget, const ControlDefinition& def) {
    widget->setFont(interfaceFont(def.fontPixels));
    QPalette palette = widget->palette();
    // The disabled group keeps the style's grey text: a disabled control is drawn greyed.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, QColor::fromRgb(def.textColour));
        palette.setColor(group, QPalette::Text, QColor::fromRgb(def.textColour));
        palette.setColor(group, QPalette::ButtonText, QColor::fromRgb(def.textColour));
    }
    palette.setColor(QPalette::Window, QColor::fromRgb(def.background));
    palette.setColor(QPalette::Base, QColor::fromRgb(def.background));
    widget->setPalette(palette);
}

Qt::Alignment qtAlignment(Alignment a) {
    return (a == Alignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
}

// Edit boxes hold Windows line ends (CR LF); Qt's multi-line box holds LF.
QString toMultiLine(const Text& text) { return toQt(text).replace(QStringLiteral("\r\n"), "\n"); }
Text fromMultiLine(const QString& text) {
    QString crlf = text;
    return fromQt(crlf.replace('\n', QStringLiteral("\r\n")));
}

[[noreturn]] void unknownControl(const Text& name, const char* wanted) {
    std::fprintf(stderr, "examclient: no %s control named %s in this window\n", wanted,
                 name.toUtf8().c_str());
    std::abort();
}

const char* kindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label: return "label";
    case ControlKind::EditBox: return "edit box";
    case ControlKind::Button: return "button";
    case ControlKind::CheckBox: return "check box";
    case ControlKind::PictureBox: return "picture box";
    case ControlKind::TabControl: return "tab control";
    case ControlKind::Timer: return "timer";
    case ControlKind::Client: return "client connection";
    case ControlKind::Listener: return "listener";
    case ControlKind::Archiver: return "archive";
    }
    return "?";
}

}  // namespace

struct Window::Control {
    const ControlDefinition& def;
    QWidget* widget = nullptr;  // borrowed: owned by the window's widget tree
    std::unique_ptr<IntervalTimer> timer;
    std::unique_ptr<TcpClient> client;
    std::unique_ptr<TcpListener> listener;
    std::unique_ptr<ZipArchiver> archiver;
};

Window::Window(WindowSystem& system, const WindowDefinition& definition, std::uint64_t serial)
    : system_(system), definition_(definition), serial_(serial) {}

std::unique_ptr<Window> Window::create(WindowSystem& system, const WindowDefinition& definition,
                                       std::uint64_t serial) {
    std::unique_ptr<Window> window(new Window(system, definition, serial));
    if (!window->build()) return nullptr;
    return window;
}

Window::~Window() {
    // Components first: they release sockets and timers without raising events.
    for (auto& c : controls_) {
        c->timer.reset();
        c->client.reset();
        c->listener.reset();
        c->archiver.reset();
    }
    if (widget_) {
        static_cast<WindowWidget*>(widget_)->forgetOwner();
        widget_->hide();
        for (QObject* child : widget_->findChildren<QObject*>()) child->blockSignals(true);
        // A widget of this window may still have a frame on the stack (a context menu's loop):
        // the tree goes when control returns to the loop, at the latest with the system.
        system_.keepForDeletion(widget_);
        widget_->deleteLater();
    }
}

bool Window::build() {
    auto* top = new WindowWidget(definition_, [this] { requestClose(); });
    widget_ = top;
    widget_->setObjectName(toQt(GBK("窗口")));
    widget_->setFont(interfaceFont());
    for (const ControlDefinition& def : definition_.controls) {
        if (!buildControl(def)) return false;
    }
    applyTabOrder();
    return true;
}

bool Window::buildControl(const ControlDefinition& def) {
    if (findAny(def.name)) return false;  // names are unique within a window
    QWidget* parent = widget_;
    if (!def.parent.empty()) {
        Control* p = findAny(def.parent);
        if (!p) return false;
        if (p->def.kind == ControlKind::PictureBox) {
            parent = p->widget;
        } else if (p->def.kind == ControlKind::TabControl) {
            auto* stack = static_cast<QStackedWidget*>(p->widget);
            if (def.page < 0 || def.page >= stack->count()) return false;
            parent = stack->widget(def.page);
        } else {
            return false;
        }
    }

    auto control = std::make_unique<Control>(Control{def});
    QWidget* w = nullptr;
    switch (def.kind) {
    case ControlKind::Label: {
        auto* label = new LabelWidget(parent, def);
        label->setText(toQt(def.caption));
        label->setAlignment(qtAlignment(def.alignment));
        label->setWordWrap(false);
        label->setFrameShape(def.border ? QFrame::Box : QFrame::NoFrame);
        label->setTextFormat(Qt::PlainText);
        w = label;
        break;
    }
    case ControlKind::EditBox:
        if (def.edit.multiLine) {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly(def.edit.readOnly);
            edit->setVerticalScrollBarPolicy(def.edit.verticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAlwaysOff);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setFrameStyle(def.edit.sunkenBorder ? (QFrame::StyledPanel | QFrame::Sunken)
                                                      : QFrame::NoFrame);
            edit->setPlainText(toMultiLine(def.caption));
            if (def.edit.hideSelection) {
                // Without the focus the selection is drawn as plain text.
                QPalette palette = edit->palette();
                palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor::fromRgb(def.background));
                palette.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor::fromRgb(def.textColour));
                edit->setPalette(palette);
            }
            w = edit;
        } else {
            auto* edit = new QLineEdit(parent);
            edit->setFrame(def.edit.sunkenBorder);
            edit->setReadOnly(def.edit.readOnly);
            if (def.edit.maxLength > 0) edit->setMaxLength(def.edit.maxLength);
            edit->setText(toQt(def.caption));
            w = edit;
        }
        break;
    case ControlKind::Button: {
        auto* button = new QPushButton(toQt(def.caption), parent);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, button,
                         [this, &def] { dispatch(def.events, Clicked); });
        w = button;
        break;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(toQt(def.caption), parent);
        box->setAutoFillBackground(true);
        QObject::connect(box, &QCheckBox::clicked, box,
                         [this, &def] { dispatch(def.events, Clicked); });
        w = box;
        break;
    }
    case ControlKind::PictureBox: {
        auto* box = new PictureBox(parent, def.displayMode, def.background);
        box->setPicture(assetPicture(def.picture));
        w = box;
        break;
    }
    case ControlKind::TabControl: {
        auto* stack = new QStackedWidget(parent);
        for (int i = 0; i < std::max(1, def.pages); ++i) {
            auto* page = new QWidget(stack);
            page->setAutoFillBackground(true);
            stack->addWidget(page);
        }
        stack->setAutoFillBackground(true);
        w = stack;
        break;
    }
    case ControlKind::Timer: control->timer = std::make_unique<IntervalTimer>(def.timerPeriod); break;
    case ControlKind::Client: control->client = std::make_unique<TcpClient>(); break;
    case ControlKind::Listener:
        control->listener = std::make_unique<TcpListener>(def.listenerPort);
        break;
    case ControlKind::Archiver: control->archiver = std::make_unique<ZipArchiver>(); break;
    }

    if (w) {
        w->setObjectName(toQt(def.name));
        if (def.kind != ControlKind::PictureBox && def.kind != ControlKind::TabControl) {
            applyTextStyle(w, def);
        } else {
            QPalette palette = w->palette();
            palette.setColor(QPalette::Window, QColor::fromRgb(def.background));
            w->setPalette(palette);
        }
        if (def.kind == ControlKind::Label || def.kind == ControlKind::PictureBox ||
            def.kind == ControlKind::TabControl) {
            w->setFocusPolicy(Qt::NoFocus);
        }
        w->setGeometry(def.geometry.x, def.geometry.y, def.geometry.width, def.geometry.height);
        w->setEnabled(!def.disabled);
        w->setVisible(def.visible);
        control->widget = w;
    }
    controls_.push_back(std::move(control));
    bindComponentEvents(*controls_.back());
    return true;
}

void Window::bindComponentEvents(Control& c) {
    for (const EventBinding& b : c.def.events) {
        WindowHandler h = b.handler;
        if (!h) continue;
        // The components die before the window; their handlers never outlive it.
        if (c.timer) c.timer->bind(static_cast<IntervalTimer::Event>(b.event), [this, h] { dispatch(h); });
        if (c.client) c.client->bind(static_cast<TcpClient::Event>(b.event), [this, h] { dispatch(h); });
        if (c.listener) {
            c.listener->bind(static_cast<TcpListener::Event>(b.event), [this, h] { dispatch(h); });
        }
        if (c.archiver) {
            c.archiver->bind(static_cast<ZipArchiver::Event>(b.event),
                             [this, h](std::int32_t) -> std::optional<bool> {
                                 dispatch(h);
                                 return std::nullopt;
                             });
        }
    }
}

void Window::applyTabOrder() {
    std::vector<const Control*> ordered;
    for (const auto& c : controls_) {
        if (c->widget && c->def.tabOrder >= 0) ordered.push_back(c.get());
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Control* a, const Control* b) { return a->def.tabOrder < b->def.tabOrder; });
    for (std::size_t i = 1; i < ordered.size(); ++i) {
        QWidget::setTabOrder(ordered[i - 1]->widget, ordered[i]->widget);
    }
    if (!ordered.empty()) ordered.front()->widget->setFocus(Qt::OtherFocusReason);
}

Window::Control* Window::findAny(const Text& name) const {
    for (const auto& c : controls_) {
        if (c->def.name == name) return c.get();
    }
    return nullptr;
}

Window::Control& Window::find(const Text& name, ControlKind kind) {
    Control* c = findAny(name);
    if (!c || c->def.kind != kind) unknownControl(name, kindName(kind));
    return *c;
}

const Window::Control& Window::find(const Text& name, ControlKind kind) const {
    return const_cast<Window*>(this)->find(name, kind);
}

void Window::setEnabled(const Text& name, bool enabled) {
    Control* c = findAny(name);
    if (!c || !c->widget) unknownControl(name, "visual");
    c->widget->setEnabled(enabled);
}

void Window::setText(const Text& name, const Text& text) {
    Control* c = findAny(name);
    if (!c || !c->widget) unknownControl(name, "label or edit box");
    if (auto* label = qobject_cast<QLabel*>(c->widget)) {
        label->setText(toQt(text));
    } else if (auto* line = qobject_cast<QLineEdit*>(c->widget)) {
        line->setText(toQt(text));
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(c->widget)) {
        multi->setPlainText(toMultiLine(text));
    } else {
        unknownControl(name, "label or edit box");
    }
}

Text Window::getText(const Text& name) const {
    Control* c = findAny(name);
    if (!c || !c->widget) unknownControl(name, "label or edit box");
    if (auto* label = qobject_cast<QLabel*>(c->widget)) return fromQt(label->text());
    if (auto* line = qobject_cast<QLineEdit*>(c->widget)) return fromQt(line->text());
    if (auto* multi = qobject_cast<QPlainTextEdit*>(c->widget)) return fromMultiLine(multi->toPlainText());
    unknownControl(name, "label or edit box");
}

void Window::setPicture(const Text& name, std::string_view bytes) {
    auto* box = static_cast<PictureBox*>(find(name, ControlKind::PictureBox).widget);
    box->setPicture(Picture());  // the old picture goes first, whatever the new bytes hold
    box->setPicture(decodePicture(bytes));
}

void Window::selectPage(const Text& name, std::int32_t index) {
    auto* stack = static_cast<QStackedWidget*>(find(name, ControlKind::TabControl).widget);
    stack->setCurrentIndex(std::clamp<std::int32_t>(index, 0, stack->count() - 1));
}

std::int32_t Window::currentPage(const Text& name) const {
    return static_cast<QStackedWidget*>(find(name, ControlKind::TabControl).widget)->currentIndex();
}

TcpClient& Window::client(const Text& name) { return *find(name, ControlKind::Client).client; }
TcpListener& Window::listener(const Text& name) {
    return *find(name, ControlKind::Listener).listener;
}
IntervalTimer& Window::timer(const Text& name) { return *find(name, ControlKind::Timer).timer; }
ZipArchiver& Window::archiver(const Text& name) {
    return *find(name, ControlKind::Archiver).archiver;
}

QWidget* Window::controlWidget(const Text& name) const {
    Control* c = findAny(name);
    return c ? c->widget : nullptr;
}

void Window::dispatch(WindowHandler handler) {
    if (closed_ || !handler) return;
    ++busyDepth_;
    handler(*this);
    --busyDepth_;
    if (closed_ && busyDepth_ == 0) system_.freeLater(this);
}

void Window::dispatch(const std::vector<EventBinding>& events, int event) {
    for (const EventBinding& b : events) {
        if (b.event == event) dispatch(b.handler);
    }
}

void Window::requestClose() {
    if (!closed_) system_.destroyWindow(id());
}

void Window::close() {
    closed_ = true;
    if (modalLoop_) modalLoop_->quit();
    modalLoop_ = nullptr;
    if (widget_) widget_->hide();
}

}  // namespace exam
