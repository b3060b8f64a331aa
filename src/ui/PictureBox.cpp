#include "ui/PictureBox.h"

#include <QPainter>

namespace exam {

PictureBox::PictureBox(QWidget* parent, DisplayMode mode, Colour background)
    : QWidget(parent), mode_(mode), background_(QColor::fromRgb(background)) {
    animation_.setTimerType(Qt::PreciseTimer);
    animation_.setSingleShot(true);
    QObject::connect(&animation_, &QTimer::timeout, this, [this] { nextFrame(); });
}

void PictureBox::setPicture(Picture picture) {
    animation_.stop();
    picture_ = std::move(picture);
    frame_ = 0;
    if (picture_.animated()) animation_.start(picture_.delays[0]);
    update();
}

void PictureBox::nextFrame() {
    if (!picture_.animated()) return;
    frame_ = (frame_ + 1) % static_cast<int>(picture_.frames.size());
    animation_.start(picture_.delays[static_cast<std::size_t>(frame_)]);
    update();
}

QRect PictureBox::pictureRect() const {
    if (picture_.empty()) return {};
    const QSize own = picture_.frames[static_cast<std::size_t>(frame_)].size();
    switch (mode_) {
    case DisplayMode::OwnSize: return QRect(QPoint(0, 0), own);
    case DisplayMode::Stretch: return rect();
    case DisplayMode::Centre: {
        QSize shown = own;
        if (own.width() > width() || own.height() > height()) {
            shown = own.scaled(size(), Qt::KeepAspectRatio);
        }
        return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    }
    }
    return {};
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    if (picture_.empty()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(pictureRect(), picture_.frames[static_cast<std::size_t>(frame_)]);
}

}  // namespace exam
