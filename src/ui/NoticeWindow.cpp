#include "ui/NoticeWindow.h"

#include "net/TcpClient.h"
#include "ui/Window.h"

namespace exam {

WindowDefinition noticeWindowDefinition() {
    return WindowDefinition{
        .id = WindowId::Notice,
        .caption = Text(),
        .width = 996,
        .height = 711,
        .background = BackgroundMode::Stretched,
        .backgroundPicture = EXAM_ASSET("notice-background.jpg"),
        .controls =
            {
                {.kind = ControlKind::Client, .name = GBK("客户1"),
                 .events = {{TcpClient::DataArrival, onRulesData}}},
                {.kind = ControlKind::Client, .name = GBK("客户2"),
                 .events = {{TcpClient::DataArrival, onScheduleData}}},
                {.kind = ControlKind::EditBox, .name = GBK("考试注意事项编辑框"),
                 .geometry = {88, 164, 824, 444}, .textColour = kBlack, .background = kWhite,
                 .border = true,
                 .edit = {.multiLine = true, .readOnly = true, .verticalScrollBar = true,
                          .sunkenBorder = true, .hideSelection = true}},
                {.kind = ControlKind::CheckBox, .name = GBK("选择框1"), .geometry = {599, 622, 200, 16},
                 .caption = GBK("我已阅读并同意遵守以上内容。"), .textColour = kBlack,
                 .background = kButtonFace, .events = {{Clicked, onAgreementClicked}}},
                {.kind = ControlKind::Button, .name = GBK("按钮1"), .geometry = {808, 616, 104, 22},
                 .disabled = true, .caption = GBK("确定"), .alignment = Alignment::Centre,
                 .events = {{Clicked, onNoticeOkButton}}},
            },
        .events = {{Created, onNoticeCreated}},
    };
}

// The exam flow of this window comes with the handlers; until then the window only shows.
void onNoticeCreated(Window&) {}
void onRulesData(Window&) {}
void onScheduleData(Window&) {}
void onAgreementClicked(Window&) {}
void onNoticeOkButton(Window&) {}

}  // namespace exam
