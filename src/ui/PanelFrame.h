// PanelFrame: the frame that LoginWindow and ConfirmWindow share: a 1000 x 400 borderless
// window titled "考试系统" on the tiled background bitmap, the two decorations and the panel
// picture box 图片框3 that holds the window's own controls, with white panel labels.
#pragma once

#include "ui/WindowDefinition.h"

namespace exam {

// The frame's definition: caption, size, background and the three picture boxes. The caller
// appends its controls (those inside the panel name panelName() as their parent).
WindowDefinition panelFrame(WindowId id);

// The name of the panel picture box.
const Text& panelName();

// A label in the panel: white text over the panel's own bitmap.
ControlDefinition panelLabel(const Text& name, Rect at, const Text& caption);

}  // namespace exam
