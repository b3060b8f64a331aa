// The screenshot mode of the client (examclient --screenshots FOLDER): each window opened
// alone at its place on the screen, grabbed once it is exposed. Kept apart from the exam flow.
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "ui/StartUp.h"
#include "ui/WindowSystem.h"

namespace exam {
namespace {

// Lets the loop run for `ms` milliseconds (the window maps and paints meanwhile).
void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int writeScreenshots(const QString& folder) {
    if (!QDir().mkpath(folder)) return 1;
    WindowSystem system;
    defineWindows(system);
    const struct {
        WindowId id;
        const char* name;
    } windows[] = {{WindowId::Login, "login"},
                   {WindowId::Confirm, "confirm"},
                   {WindowId::Notice, "notice"},
                   {WindowId::Console, "console"}};
    int failures = 0;
    for (const auto& w : windows) {
        if (!system.openWindow(w.id, Modality::Modeless)) {
            ++failures;
            continue;
        }
        QWidget* top = system.window(w.id)->widget();
        QElapsedTimer clock;
        clock.start();
        while (!(top->windowHandle() && top->windowHandle()->isExposed()) && clock.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        settle(400);
        const QString base = QDir(folder).filePath(QString::fromLatin1(w.name));
        if (!top->grab().save(base + ".png")) ++failures;
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(base + "-screen.png")) ++failures;
        system.destroyWindow(w.id);
        settle(100);
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace exam
