// Message text: splitting, joining and picking fields of "fg" texts, including the fatal stop on a
// missing field, which is watched from outside in a child process.
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "../support/TextBytes.h"
#include "core/FatalError.h"
#include "core/MessageText.h"

using exam::FieldList;
using exam::Text;
using exam::test::bytes;

using ByteList = QList<QByteArray>;

namespace {

ByteList asBytes(const FieldList& fields) {
    ByteList list;
    for (const Text& f : fields) list << bytes(f);
    return list;
}

constexpr int NoLimit = 1000000;  // a table value that stands for "no limit"

}  // namespace

class MessageTextTest : public QObject {
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void join_data();
    void join();
    void joinTakesSeparateArguments();
    void bytesToTextStopsAtZero_data();
    void bytesToTextStopsAtZero();
    void sameText_data();
    void sameText();
    void fieldAtCountsFromOne();
    void missingFieldIsTheFatalStop_data();
    void missingFieldIsTheFatalStop();
};

void MessageTextTest::split_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<int>("limit");
    QTest::addColumn<ByteList>("expected");
    const QByteArray fg = "fg";
    QTest::newRow("trailing separator gives no empty field")
        << QByteArray("abcfg") << fg << NoLimit << ByteList{"abc"};
    QTest::newRow("leading separator")
        << QByteArray("fgabc") << fg << NoLimit << ByteList{"", "abc"};
    QTest::newRow("separators in a row")
        << QByteArray("afgfgb") << fg << NoLimit << ByteList{"a", "", "b"};
    QTest::newRow("separator only") << QByteArray("fg") << fg << NoLimit << ByteList{""};
    QTest::newRow("two separators only") << QByteArray("fgfg") << fg << NoLimit << ByteList{"", ""};
    QTest::newRow("no separator") << QByteArray("abc") << fg << NoLimit << ByteList{"abc"};
    QTest::newRow("upper case is not a separator")
        << QByteArray("aFGb") << fg << NoLimit << ByteList{"aFGb"};
    QTest::newRow("schedule") << QByteArray("2024-06-01 09:30fg120fgD:\\exam\\") << fg << NoLimit
                              << ByteList{"2024-06-01 09:30", "120", "D:\\exam\\"};
    QTest::newRow("empty") << QByteArray() << fg << NoLimit << ByteList{};
    QTest::newRow("empty, limit 2") << QByteArray() << fg << 2 << ByteList{};
    QTest::newRow("limit 2, tail kept")
        << QByteArray("idfg12345") << fg << 2 << ByteList{"id", "12345"};
    QTest::newRow("limit 2, rest dropped")
        << QByteArray("xfg1fgtrailing") << fg << 2 << ByteList{"x", "1"};
    QTest::newRow("limit 2, rest not folded in")
        << QByteArray("idfgAfgB") << fg << 2 << ByteList{"id", "A"};
    QTest::newRow("limit 1") << QByteArray("afgb") << fg << 1 << ByteList{"a"};
    QTest::newRow("limit 1, no separator") << QByteArray("abc") << fg << 1 << ByteList{"abc"};
    QTest::newRow("limit above the fields") << QByteArray("afgb") << fg << 5 << ByteList{"a", "b"};
    QTest::newRow("limit 0") << QByteArray("afgb") << fg << 0 << ByteList{};
    QTest::newRow("negative limit counts as 0") << QByteArray("afgb") << fg << -3 << ByteList{};
    QTest::newRow("empty separator")
        << QByteArray("afgb") << QByteArray() << NoLimit << ByteList{"afgb"};
    QTest::newRow("other separator")
        << QByteArray("a,b,,c") << QByteArray(",") << NoLimit << ByteList{"a", "b", "", "c"};
    // 膄 is C4 66: its trail byte is "f", and the "g" after it must not complete a separator.
    QTest::newRow("trail byte f then g")
        << QByteArray("a\xC4\x66gfgb") << fg << NoLimit << ByteList{"a\xC4\x66g", "b"};
    QTest::newRow("trail byte f at the start")
        << QByteArray("\xC4\x66gfg") << fg << NoLimit << ByteList{"\xC4\x66g"};
    QTest::newRow("0x80 starts a pair") << QByteArray(
                                               "\x80"
                                               "fgx")
                                        << fg << NoLimit
                                        << ByteList{
                                               "\x80"
                                               "fgx"};
    QTest::newRow("separator after a pair") << QByteArray(
                                                   "\xC4\xEA"
                                                   "fg1")
                                            << fg << NoLimit << ByteList{"\xC4\xEA", "1"};
    QTest::newRow("high byte at the end ends the scan")
        << QByteArray("abfg\xC4") << fg << NoLimit << ByteList{"ab", "\xC4"};
    QTest::newRow("high byte alone") << QByteArray("\xC4") << fg << NoLimit << ByteList{"\xC4"};
}

void MessageTextTest::split() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, separator);
    QFETCH(int, limit);
    QFETCH(ByteList, expected);
    const std::optional<int> m = limit == NoLimit ? std::nullopt : std::optional<int>(limit);
    const FieldList fields =
        exam::splitFields(Text(text.toStdString()), Text(separator.toStdString()), m);
    QCOMPARE(asBytes(fields), expected);
    if (separator == "fg") {
        QCOMPARE(asBytes(exam::splitFields(Text(text.toStdString()), exam::FieldSeparator, m)),
                 expected);
    }
}

void MessageTextTest::join_data() {
    QTest::addColumn<ByteList>("fields");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty fields keep their place")
        << ByteList{"123", "", ""} << QByteArray("123fgfg");
    QTest::newRow("three empty fields") << ByteList{"", "", ""} << QByteArray("fgfg");
    QTest::newRow("login request") << ByteList{"20240001", "110101200001011234", "A7"}
                                   << QByteArray("20240001fg110101200001011234fgA7");
    QTest::newRow("one field") << ByteList{"abc"} << QByteArray("abc");
    QTest::newRow("no fields") << ByteList{} << QByteArray();
    QTest::newRow("GBK bytes unchanged") << ByteList{"\xBF\xBC", "\xC4\x66"}
                                         << QByteArray(
                                                "\xBF\xBC"
                                                "fg\xC4\x66");
}

void MessageTextTest::join() {
    QFETCH(ByteList, fields);
    QFETCH(QByteArray, expected);
    FieldList list;
    for (const QByteArray& f : fields) list.emplace_back(f.toStdString());
    QCOMPARE(bytes(exam::joinFields(list)), expected);
}

void MessageTextTest::joinTakesSeparateArguments() {
    QCOMPARE(bytes(exam::joinFields(Text("123"), Text(), Text())), QByteArray("123fgfg"));
    QCOMPARE(bytes(exam::joinFields(Text("a"))), QByteArray("a"));
}

void MessageTextTest::bytesToTextStopsAtZero_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("41 00 42") << QByteArray("A\0B", 3) << QByteArray("A");
    QTest::newRow("zero first") << QByteArray("\0B", 2) << QByteArray();
    QTest::newRow("no bytes") << QByteArray() << QByteArray();
    QTest::newRow("no zero") << QByteArray("1fg\xC4\xEA") << QByteArray("1fg\xC4\xEA");
}

void MessageTextTest::bytesToTextStopsAtZero() {
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, expected);
    const exam::Bytes raw(received.constData(), static_cast<std::size_t>(received.size()));
    QCOMPARE(bytes(exam::bytesToText(raw)), expected);
}

void MessageTextTest::sameText_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("equal") << QByteArray("1") << QByteArray("1") << true;
    QTest::newRow("case counts") << QByteArray("abc") << QByteArray("ABC") << false;
    QTest::newRow("prefix") << QByteArray("1") << QByteArray("10") << false;
    QTest::newRow("both empty") << QByteArray() << QByteArray("") << true;
    QTest::newRow("GBK") << QByteArray("\xC4\xEA") << QByteArray("\xC4\xEA") << true;
}

void MessageTextTest::sameText() {
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, same);
    QCOMPARE(exam::sameText(Text(a.toStdString()), Text(b.toStdString())), same);
}

void MessageTextTest::fieldAtCountsFromOne() {
    const FieldList fields = exam::splitFields(Text("afgfgc"), exam::FieldSeparator);
    QCOMPARE(bytes(exam::fieldAt(fields, 1)), QByteArray("a"));
    QCOMPARE(bytes(exam::fieldAt(fields, 2)), QByteArray(""));
    QCOMPARE(bytes(exam::fieldAt(fields, 3)), QByteArray("c"));
}

void MessageTextTest::missingFieldIsTheFatalStop_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("fieldCount");
    QTest::addColumn<QByteArray>("readBeforeTheStop");
    QTest::newRow("empty message, field 1") << QByteArray() << 1 << QByteArray();
    QTest::newRow("two fields, field 3")
        << QByteArray("2024-06-01fg120") << 3 << QByteArray("2024-06-01|120|");
    QTest::newRow("trailing separator, field 2") << QByteArray("1fg") << 2 << QByteArray("1|");
}

// The child reads fields 1..fieldCount in turn, printing each one as it is read, the way a
// handler stores each field before it reads the next.
void MessageTextTest::missingFieldIsTheFatalStop() {
    QFETCH(QByteArray, message);
    QFETCH(int, fieldCount);
    QFETCH(QByteArray, readBeforeTheStop);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--read-fields", QString::fromLatin1(message), QString::number(fieldCount)});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 255);  // -1 as the low byte of the status
    const QByteArray out = child.readAllStandardOutput();
    const QByteArray box = bytes(exam::fatalErrorBoxText(1, GBK("数组成员引用下标超出定义范围")));
    QCOMPARE(out, readBeforeTheStop + "\nbox " + box.toHex() + "\ncaption " +
                      bytes(exam::fatalErrorCaption()).toHex() + "\n");
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--read-fields") == 0) {
        std::atexit([] { std::puts("released"); });
        exam::setFatalErrorPresenter([](const Text& text, const Text& caption) {
            std::printf("\nbox %s\ncaption %s\n", bytes(text).toHex().constData(),
                        bytes(caption).toHex().constData());
            std::fflush(stdout);
        });
        const FieldList fields = exam::splitFields(Text(argv[2]), exam::FieldSeparator);
        for (int k = 1; k <= std::atoi(argv[3]); ++k) {
            std::printf("%s|", exam::fieldAt(fields, k).c_str());
            std::fflush(stdout);
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    MessageTextTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "MessageTextTest.moc"
