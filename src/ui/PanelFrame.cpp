#include "ui/PanelFrame.h"

namespace exam {
namespace {

constexpr std::string_view kPanelPicture = EXAM_ASSET("login-panel.bmp");

}  // namespace

const Text& panelName() { return GBK("图片框3"); }

WindowDefinition panelFrame(WindowId id) {
    return WindowDefinition{
        .id = id,
        .caption = GBK("考试系统"),
        .width = 1000,
        .height = 400,
        .background = BackgroundMode::Tiled,
        .backgroundPicture = EXAM_ASSET("login-background.bmp"),
        .controls =
            {
                {.kind = ControlKind::PictureBox, .name = GBK("图片框1"), .geometry = {28, 90, 456, 86},
                 .picture = EXAM_ASSET("login-banner.bmp")},
                {.kind = ControlKind::PictureBox, .name = GBK("图片框2"), .geometry = {111, 187, 283, 93},
                 .picture = EXAM_ASSET("login-emblem.bmp")},
                // The 504 x 259 bitmap at its own size: the box shows its top 209 rows.
                {.kind = ControlKind::PictureBox, .name = panelName(), .geometry = {492, 80, 504, 209},
                 .picture = kPanelPicture},
            },
    };
}

ControlDefinition panelLabel(const Text& name, Rect at, const Text& caption) {
    return ControlDefinition{.kind = ControlKind::Label, .name = name, .parent = panelName(),
                             .geometry = at, .caption = caption, .textColour = kWhite,
                             .backgroundPicture = kPanelPicture};
}

}  // namespace exam
