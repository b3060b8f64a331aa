// ConfirmWindow: the confirmation of the examinee's data and photo, opened modally by an
// accepted login. Its definition and its handlers.
#pragma once

#include "ui/WindowDefinition.h"

namespace exam {

WindowDefinition confirmWindowDefinition();

void onConfirmCreated(Window& window);
void onPhotoData(Window& window);      // 客户1 DataArrival
void onWrongDataButton(Window& window);  // 按钮1 clicked
void onRightDataButton(Window& window);  // 按钮2 clicked
void onStartExamButton(Window& window);  // 开始考试按钮 clicked

}  // namespace exam
