// PictureBox: the picture box control's widget. Shows one decoded Picture in one of the three
// display modes over a background colour, animates GIFs with several frames, and serves as the
// parent of the controls placed inside it.
//
// Owned by its parent widget (the window layer's Qt tree); UI thread.
#pragma once

#include <QTimer>
#include <QWidget>

#include "ui/Picture.h"
#include "ui/WindowDefinition.h"

namespace exam {

class PictureBox : public QWidget {
    Q_OBJECT

public:
    PictureBox(QWidget* parent, DisplayMode mode, Colour background);

    void setPicture(Picture picture);
    const Picture& picture() const { return picture_; }
    int currentFrame() const { return frame_; }

    // Where the current frame is drawn inside the box; empty when nothing is shown.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void nextFrame();

    DisplayMode mode_;
    QColor background_;
    Picture picture_;
    int frame_ = 0;
    QTimer animation_;
};

}  // namespace exam
