#include "ui/LoginWindow.h"

#include "net/TcpClient.h"
#include "ui/PanelFrame.h"
#include "ui/Window.h"

namespace exam {

WindowDefinition loginWindowDefinition() {
    auto edit = [](const Text& name, Rect at, int tabOrder) {
        return ControlDefinition{.kind = ControlKind::EditBox, .name = name, .parent = panelName(),
                                 .geometry = at, .tabOrder = tabOrder, .textColour = kBlack,
                                 .background = kWhite, .border = true};
    };
    WindowDefinition def = panelFrame(WindowId::Login);
    def.events = {{Created, onLoginCreated}};
    def.controls.insert(def.controls.begin(),
                        {.kind = ControlKind::Client, .name = GBK("客户1"),
                         .events = {{TcpClient::DataArrival, onLoginReply}}});
    def.controls.insert(
        def.controls.end(),
        {
            panelLabel(GBK("连接状态标签"), {52, 24, 192, 16}, GBK("考生登录")),
            panelLabel(GBK("标签2"), {108, 67, 48, 16}, GBK("考生号：")),
            edit(GBK("考生号输入框"), {172, 64, 200, 20}, 0),
            panelLabel(GBK("标签3"), {108, 114, 56, 16}, GBK("身份证号：")),
            edit(GBK("身份证号输入框"), {172, 111, 200, 20}, 1),
            {.kind = ControlKind::Button, .name = GBK("登录按钮"), .parent = panelName(),
             .geometry = {212, 160, 118, 39}, .tabOrder = 2, .caption = GBK("登录"),
             .alignment = Alignment::Centre, .events = {{Clicked, onLoginButton}}},
        });
    return def;
}

// The exam flow of this window comes with the handlers; until then the window only shows.
void onLoginCreated(Window&) {}
void onLoginReply(Window&) {}
void onLoginButton(Window&) {}

}  // namespace exam
