// The life of the process, run in child processes of this test: the normal end with exit
// status 0 after the shut-down routine, a process with only hidden windows that keeps running,
// and the fatal box as a real message box.
#include <QtTest>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ClientState.h"
#include "core/FatalError.h"
#include "ui/StartUp.h"
#include "ui/Window.h"
#include "ui/WindowSystem.h"

using namespace exam;

namespace {

const char* reportPath = nullptr;

void report(const QByteArray& line) {
    QFile file(QString::fromLocal8Bit(reportPath));
    if (file.open(QIODevice::Append)) file.write(line + "\n");
}

// Runs after releaseClientState at exit (registered before it, so called after it).
void reportStateAtExit() {
    const ClientState& s = clientState();
    const bool empty = s.assignedId.empty() && s.serverAddress.empty() && s.examineeNumber.empty() &&
                       s.startTimeText.empty() && s.minutesText.empty() && s.paperFolder.empty();
    report(empty ? "exit: state released" : "exit: state kept");
}

void pressEsc(WindowId id) {
    Window* w = findWindow(id);
    if (!w) {
        report("missing window");
        return;
    }
    QWidget* top = w->widget();
    QTest::keyClick(top->focusWidget() ? top->focusWidget() : top, Qt::Key_Escape);
}

// The child: `--child MODE REPORT`.
int runChild(int argc, char** argv) {
    const QByteArray mode = argv[2];
    reportPath = argv[3];
    QApplication app(argc, argv);
    std::atexit(reportStateAtExit);
    // A watchdog inside the child as well: a hang ends with a status the parent rejects.
    QTimer::singleShot(20000, Qt::PreciseTimer, [] { std::_Exit(3); });

    if (mode == "esc-login") {
        QTimer::singleShot(0, Qt::PreciseTimer, [] {
            clientState().assignedId = Text("A1");
            clientState().paperFolder = Text("D:\\exam\\");
            report(findWindow(WindowId::Login)->widget()->isVisible() ? "login shown" : "login not shown");
            pressEsc(WindowId::Login);
        });
    } else if (mode == "hidden") {
        // Login and Confirm hidden, the console closed with Esc: the process keeps running.
        QTimer::singleShot(0, Qt::PreciseTimer, [] {
            QTimer::singleShot(0, Qt::PreciseTimer, [] {
                setVisible(WindowId::Login, false);
                setVisible(WindowId::Confirm, false);
                QTimer::singleShot(0, Qt::PreciseTimer, [] { pressEsc(WindowId::Console); });
                openWindow(WindowId::Console, Modality::Modal);
                report("console closed");
                QTimer::singleShot(300, Qt::PreciseTimer, [] {
                    const bool alive = findWindow(WindowId::Login) && findWindow(WindowId::Confirm);
                    report(alive ? "still running with hidden windows" : "windows lost");
                    destroyWindow(WindowId::Confirm);
                });
            });
            openWindow(WindowId::Confirm, Modality::Modal);
            report("confirm closed");
            destroyWindow(WindowId::Login);
        });
    } else if (mode == "fatal") {
        QTimer::singleShot(0, Qt::PreciseTimer, [] {
            QTimer::singleShot(0, Qt::PreciseTimer, [] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) {
                    report("no box");
                    return;
                }
                report("title " + box->windowTitle().toUtf8());
                report("critical " + QByteArray(box->icon() == QMessageBox::Critical ? "yes" : "no"));
                report("text " + box->text().toUtf8().replace("\r\n", "|"));
                box->button(QMessageBox::Ok)->click();
            });
            raiseFatalError(1, GBK("数组成员引用下标超出定义范围"));
        });
    }
    const int status = startUp();
    report("startUp returned " + QByteArray::number(status));
    return status;
}

struct ChildRun {
    int exitCode = -1;
    QStringList lines;
};

ChildRun runChildMode(const QString& mode) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.txt");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--child", mode, path});
    ChildRun run;
    if (!child.waitForFinished(30000)) {
        child.kill();
        child.waitForFinished(5000);
        return run;
    }
    if (child.exitStatus() == QProcess::NormalExit) run.exitCode = child.exitCode();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        run.lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    return run;
}

}  // namespace

class StartUpTest : public QObject {
    Q_OBJECT
private slots:
    void closingTheLastWindowEndsWithZeroAfterTheShutDownRoutine();
    void hiddenWindowsKeepTheProcessRunning();
    void fatalErrorShowsTheErrorBoxAndEndsWithMinusOne();
};

void StartUpTest::closingTheLastWindowEndsWithZeroAfterTheShutDownRoutine() {
    const ChildRun run = runChildMode("esc-login");
    QCOMPARE(run.lines, QStringList({"login shown", "startUp returned 0", "exit: state released"}));
    QCOMPARE(run.exitCode, 0);
}

void StartUpTest::hiddenWindowsKeepTheProcessRunning() {
    const ChildRun run = runChildMode("hidden");
    QCOMPARE(run.lines, QStringList({"console closed", "still running with hidden windows",
                                     "confirm closed", "startUp returned 0", "exit: state released"}));
    QCOMPARE(run.exitCode, 0);
}

void StartUpTest::fatalErrorShowsTheErrorBoxAndEndsWithMinusOne() {
    const ChildRun run = runChildMode("fatal");
    QCOMPARE(run.lines, QStringList({"title 错误", "critical yes",
                                     "text 运行时出错!||错误代码：1||错误信息：数组成员引用下标超出定义范围|"}));
    QCOMPARE(run.exitCode, 255);  // -1; neither startUp's return nor the shut-down routine ran
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return runChild(argc, argv);
    QApplication app(argc, argv);
    StartUpTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartUpTest.moc"
