// LoginWindow: the first window of the system (opened without modality at start-up). Its
// definition and its handlers: connecting to the login service, sending the login request and
// opening ConfirmWindow on an accepted reply.
#pragma once

#include "ui/WindowDefinition.h"

namespace exam {

WindowDefinition loginWindowDefinition();

void onLoginCreated(Window& window);
void onLoginReply(Window& window);   // 客户1 DataArrival
void onLoginButton(Window& window);  // 登录按钮 clicked

}  // namespace exam
