#include "ui/ConfirmWindow.h"

#include "net/TcpClient.h"
#include "ui/PanelFrame.h"
#include "ui/Window.h"

namespace exam {

WindowDefinition confirmWindowDefinition() {
    auto button = [](const Text& name, Rect at, int tabOrder, const Text& caption, bool disabled,
                     WindowHandler handler) {
        return ControlDefinition{.kind = ControlKind::Button, .name = name, .parent = panelName(),
                                 .geometry = at, .disabled = disabled, .tabOrder = tabOrder,
                                 .caption = caption, .alignment = Alignment::Centre,
                                 .events = {{Clicked, handler}}};
    };
    WindowDefinition def = panelFrame(WindowId::Confirm);
    def.events = {{Created, onConfirmCreated}};
    def.controls.insert(def.controls.begin(),
                        {.kind = ControlKind::Client, .name = GBK("客户1"),
                         .events = {{TcpClient::DataArrival, onPhotoData}}});
    def.controls.insert(
        def.controls.end(),
        {
            panelLabel(GBK("标签1"), {52, 24, 440, 16}, GBK("考生信息查看（本考场为）")),
            panelLabel(GBK("标签2"), {52, 56, 48, 16}, GBK("姓名：")),
            panelLabel(GBK("考生姓名标签"), {112, 56, 48, 16}, GBK("考生姓名")),
            panelLabel(GBK("标签4"), {51, 81, 48, 16}, GBK("考生号：")),
            panelLabel(GBK("考生号标签"), {113, 81, 123, 16}, GBK("考生号")),
            panelLabel(GBK("标签6"), {51, 104, 61, 16}, GBK("身份证号：")),
            panelLabel(GBK("身份证号标签"), {115, 103, 153, 16}, GBK("身份证号")),
            {.kind = ControlKind::PictureBox, .name = GBK("考生照片标签"), .parent = panelName(),
             .geometry = {380, 40, 80, 104}, .background = kButtonFace,
             .displayMode = DisplayMode::Stretch},
            button(GBK("按钮1"), {124, 168, 72, 24}, 0, GBK("信息有误"), false, onWrongDataButton),
            button(GBK("按钮2"), {232, 168, 72, 24}, 1, GBK("信息正确"), false, onRightDataButton),
            button(GBK("开始考试按钮"), {336, 168, 72, 24}, 2, GBK("开始考试"), true, onStartExamButton),
        });
    return def;
}

// The exam flow of this window comes with the handlers; until then the window only shows.
void onConfirmCreated(Window&) {}
void onPhotoData(Window&) {}
void onWrongDataButton(Window&) {}
void onRightDataButton(Window&) {}
void onStartExamButton(Window&) {}

}  // namespace exam
