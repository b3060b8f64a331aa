// The fatal stop: the exact box text and the end of the process without the shut-down routine.
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/ClientState.h"
#include "core/FatalError.h"

using exam::Text;

class FatalErrorTest : public QObject {
    Q_OBJECT
private slots:
    void boxText_data();
    void boxText();
    void endsWithMinusOneWithoutTheShutdownRoutine();
    void releaseClientStateEmptiesEveryField();
};

void FatalErrorTest::boxText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray head = QByteArray::fromStdString(GBK("运行时出错!").bytes()) + "\r\n\r\n";
    const QByteArray codeLabel = QByteArray::fromStdString(GBK("错误代码：").bytes());
    const QByteArray messageLabel = QByteArray::fromStdString(GBK("错误信息：").bytes());
    const QByteArray outOfRange =
        QByteArray::fromStdString(GBK("数组成员引用下标超出定义范围").bytes());
    const QByteArray noWindow = QByteArray::fromStdString(GBK("载入启动窗口失败").bytes());

    QTest::newRow("missing field") << 1 << outOfRange
                                   << head + codeLabel + "1\r\n\r\n" + messageLabel + outOfRange +
                                          "\r\n";
    QTest::newRow("code 0 leaves the code out")
        << 0 << noWindow << head + messageLabel + noWindow + "\r\n";
    QTest::newRow("empty message leaves the message out")
        << -7 << QByteArray() << head + codeLabel + "-7\r\n\r\n";
    QTest::newRow("neither") << 0 << QByteArray() << head;
}

void FatalErrorTest::boxText() {
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, expected);
    const Text text = exam::fatalErrorBoxText(code, Text(message.toStdString()));
    QCOMPARE(QByteArray::fromStdString(text.bytes()).toHex(' '), expected.toHex(' '));
    // The GBK of "运行时出错!" begins with D4 CB D0 D0.
    QVERIFY(text.bytes().rfind("\xD4\xCB\xD0\xD0", 0) == 0);
    QCOMPARE(QByteArray::fromStdString(exam::fatalErrorCaption().bytes()).toHex(),
             QByteArray("b4edcef3"));
}

void FatalErrorTest::endsWithMinusOneWithoutTheShutdownRoutine() {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--raise"});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 255);  // -1 as the low byte of the status
    const QByteArray out = child.readAllStandardOutput();
    const QByteArray err = child.readAllStandardError();
    QVERIFY2(out.contains("presented"), out.constData());
    QVERIFY2(!out.contains("released"), out.constData());
    QVERIFY(err.isEmpty() || !err.contains("released"));
}

void FatalErrorTest::releaseClientStateEmptiesEveryField() {
    exam::ClientState& s = exam::clientState();
    s.assignedId = Text("A1");
    s.serverAddress = Text("127.0.0.1");
    s.examineeNumber = Text("123");
    s.startTimeText = GBK("2024年6月1日9时");
    s.minutesText = Text("120");
    s.paperFolder = Text("D:\\exam\\");
    exam::releaseClientState();
    for (const Text* t : {&s.assignedId, &s.serverAddress, &s.examineeNumber, &s.startTimeText,
                          &s.minutesText, &s.paperFolder}) {
        QVERIFY(t->empty());
    }
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--raise") == 0) {
        std::atexit([] { std::puts("released"); });
        exam::setFatalErrorPresenter([](const Text& text, const Text& caption) {
            std::printf("presented %zu\n", text.size());
            std::fflush(stdout);
        });
        exam::raiseFatalError(1, GBK("数组成员引用下标超出定义范围"));
    }
    QCoreApplication app(argc, argv);
    FatalErrorTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "FatalErrorTest.moc"
