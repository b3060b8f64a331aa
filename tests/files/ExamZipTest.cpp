// The examzip command line, run as its own process: results as the last line, exit status, and
// share modes that hold across processes.
#include <QtTest>

#include "ArchiveTestSupport.h"
#include "files/FileAccess.h"

using namespace exam;
using namespace testing;

namespace {
QString examzip() { return QStringLiteral(EXAM_BINARY_DIR "/tools/examzip"); }
}  // namespace

class ExamZipTest : public QObject {
    Q_OBJECT
private slots:
    void results_data();
    void results();
    void helpExplainsBoth();
    void destinationHeldByAnotherProcess();
};

void ExamZipTest::results_data() {
    QTest::addColumn<QStringList>("args");  // @ is the temporary folder
    QTest::addColumn<QByteArray>("lastLine");
    QTest::newRow("pack") << QStringList{"pack", "@/源文件夹", "@/答案.zip"} << QByteArray("1");
    QTest::newRow("pack, missing source") << QStringList{"pack", "@/none", "@/a.zip"} << QByteArray("-1");
    QTest::newRow("pack, missing folder of the destination") << QStringList{"pack", "@/源文件夹", "@/no/a.zip"} << QByteArray("0");
    QTest::newRow("unpack") << QStringList{"unpack", "@/ready.zip", "@/试卷"} << QByteArray("1");
    QTest::newRow("unpack, not an archive") << QStringList{"unpack", "@/源文件夹/a.txt", "@/x"} << QByteArray("0");
    QTest::newRow("unpack, missing archive") << QStringList{"unpack", "@/none.zip", "@/x"} << QByteArray("-1");
}

void ExamZipTest::results() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, lastLine);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("源文件夹/a.txt"), "answer"));
    QVERIFY(writeFile(dir.filePath("源文件夹/子目录/b.txt"), "more"));
    QCOMPARE(run(examzip(), {"pack", dir.filePath("源文件夹"), dir.filePath("ready.zip")}).exitCode, 0);
    for (QString& a : args) a.replace("@", dir.path());
    Run r = run(examzip(), args);
    QVERIFY(r.finished);
    QCOMPARE(r.out.trimmed().split('\n').last(), lastLine);
    QCOMPARE(r.exitCode == 0, lastLine == "1");
    if (args[0] == "pack" && lastLine == "1")
        QCOMPARE(run("unzip", {"-t", "-q", args[2]}).exitCode, 0);
    if (args[0] == "unpack" && lastLine == "1")
        QCOMPARE(readFile(dir.filePath("试卷/子目录/b.txt")), QByteArray("more"));
}

void ExamZipTest::helpExplainsBoth() {
    Run r = run(examzip(), {"--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("examzip pack SOURCE DESTINATION"));
    QVERIFY(r.out.contains("examzip unpack ARCHIVE FOLDER"));
    QVERIFY(run(examzip(), {"pack"}).exitCode != 0);
}

// This process holds the destination open; the archive writer in another process shares with no
// one, so it is refused by the advisory markers both sides take.
void ExamZipTest::destinationHeldByAnotherProcess() {
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("src/a.txt"), "answer"));
    const QString archive = dir.filePath("a.zip");
    QVERIFY(writeFile(archive, "old"));
    FileNumber held = openFile(gbk(archive), OpenMode::Read, ShareMode::DenyNone);
    QVERIFY(held != 0);
    Run r = run(examzip(), {"pack", dir.filePath("src"), archive});
    closeFile(held);
    QCOMPARE(r.out.trimmed(), QByteArray("0"));
    QCOMPARE(readFile(archive), QByteArray("old"));
    QCOMPARE(run(examzip(), {"pack", dir.filePath("src"), archive}).out.trimmed(), QByteArray("1"));
}

QTEST_GUILESS_MAIN(ExamZipTest)
#include "ExamZipTest.moc"
