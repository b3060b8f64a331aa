#include "ui/StartUp.h"

#include <cstdlib>

#include <QMessageBox>

#include "core/ClientState.h"
#include "core/FatalError.h"
#include "ui/ConfirmWindow.h"
#include "ui/ConsoleWindow.h"
#include "ui/LoginWindow.h"
#include "ui/NoticeWindow.h"
#include "ui/WindowSystem.h"

namespace exam {

void defineWindows(WindowSystem& system) {
    system.define(loginWindowDefinition());
    system.define(confirmWindowDefinition());
    system.define(noticeWindowDefinition());
    system.define(consoleWindowDefinition());
}

void installFatalErrorBox() {
    setFatalErrorPresenter([](const Text& text, const Text& caption) {
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption.toUtf8()),
                        QString::fromStdString(text.toUtf8()), QMessageBox::Ok);
        box.setObjectName(QStringLiteral("fatalErrorBox"));
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    });
}

int startUp() {
    WindowSystem system;
    installFatalErrorBox();
    defineWindows(system);
    releaseClientState();
    // Registered once per process, so that it runs once at the normal end.
    static const bool registered = std::atexit(releaseClientState) == 0;
    (void)registered;
    if (!system.openWindow(WindowId::Login, Modality::Modeless)) {
        raiseFatalError(0, GBK("载入启动窗口失败"));
    }
    system.run();
    return 0;
}

}  // namespace exam
