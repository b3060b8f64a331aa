// NoticeWindow: the exam rules and the agreement to them, opened modally from ConfirmWindow;
// it also receives the exam schedule. Its definition and its handlers.
#pragma once

#include "ui/WindowDefinition.h"

namespace exam {

WindowDefinition noticeWindowDefinition();

void onNoticeCreated(Window& window);
void onRulesData(Window& window);       // 客户1 DataArrival
void onScheduleData(Window& window);    // 客户2 DataArrival
void onAgreementClicked(Window& window);  // 选择框1 clicked
void onNoticeOkButton(Window& window);    // 按钮1 clicked

}  // namespace exam
