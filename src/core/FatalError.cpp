#include "core/FatalError.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace exam {
namespace {

FatalErrorPresenter& presenter() {
    static FatalErrorPresenter p;
    return p;
}

}  // namespace

Text fatalErrorBoxText(std::int32_t code, const Text& message) {
    static const Text crlf("\r\n");
    Text text = GBK("运行时出错!") + crlf + crlf;
    if (code != 0) text += GBK("错误代码：") + Text(std::to_string(code)) + crlf + crlf;
    if (!message.empty()) text += GBK("错误信息：") + message + crlf;
    return text;
}

const Text& fatalErrorCaption() { return GBK("错误"); }

void setFatalErrorPresenter(FatalErrorPresenter p) { presenter() = std::move(p); }

void raiseFatalError(std::int32_t code, const Text& message) {
    const Text text = fatalErrorBoxText(code, message);
    if (presenter()) {
        presenter()(text, fatalErrorCaption());
    } else {
        std::string shown = fatalErrorCaption().toUtf8() + ": " + text.toUtf8();
        std::fwrite(shown.data(), 1, shown.size(), stderr);
    }
    std::fflush(nullptr);
    // _Exit skips the handlers registered with atexit, so the shut-down routine does not run.
    std::_Exit(-1);
}

}  // namespace exam
