// The numbered file layer on real files: open modes, share modes, positions, failures as results.
#include <QtTest>

#include <sys/stat.h>

#include "ArchiveTestSupport.h"
#include "files/FileAccess.h"

using namespace exam;
using testing::gbk;
using testing::readFile;
using testing::writeFile;

Q_DECLARE_METATYPE(exam::OpenMode)
Q_DECLARE_METATYPE(exam::ShareMode)

class FileAccessTest : public QObject {
    Q_OBJECT
private slots:
    void openModes_data();
    void openModes();
    void rejectedArguments_data();
    void rejectedArguments();
    void missingFolderIsNeverCreated();
    void writeOverwritesAtPositionAndAppendsAfterSeekToEnd();
    void readCounts_data();
    void readCounts();
    void closedAndZeroNumbersDoNothing();
    void shareModes_data();
    void shareModes();
    void refusedCreateWriteKeepsContents();
    void gbkAndBackslashPaths();
};

void FileAccessTest::openModes_data() {
    QTest::addColumn<OpenMode>("mode");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QByteArray>("afterWrite");  // file after writing "XY" at position 0
    QTest::addColumn<QByteArray>("read");        // what reading 100 bytes right after the open gives

    // An existing file holds "abcdef".
    QTest::newRow("Read, exists") << OpenMode::Read << true << true << QByteArray("abcdef")
                                  << QByteArray("abcdef");
    QTest::newRow("Read, missing") << OpenMode::Read << false << false << QByteArray() << QByteArray();
    QTest::newRow("Write, exists") << OpenMode::Write << true << true << QByteArray("XYcdef")
                                   << QByteArray();
    QTest::newRow("Write, missing") << OpenMode::Write << false << false << QByteArray() << QByteArray();
    QTest::newRow("ReadWrite, exists") << OpenMode::ReadWrite << true << true
                                       << QByteArray("XYcdef") << QByteArray("abcdef");
    QTest::newRow("ReadWrite, missing") << OpenMode::ReadWrite << false << false << QByteArray()
                                        << QByteArray();
    QTest::newRow("CreateWrite, exists") << OpenMode::CreateWrite << true << true << QByteArray("XY")
                                         << QByteArray();
    QTest::newRow("CreateWrite, missing") << OpenMode::CreateWrite << false << true
                                          << QByteArray("XY") << QByteArray();
    QTest::newRow("OpenOrCreateWrite, exists") << OpenMode::OpenOrCreateWrite << true << true
                                               << QByteArray("XYcdef") << QByteArray();
    QTest::newRow("OpenOrCreateWrite, missing") << OpenMode::OpenOrCreateWrite << false << true
                                                << QByteArray("XY") << QByteArray();
    QTest::newRow("OpenOrCreateReadWrite, exists") << OpenMode::OpenOrCreateReadWrite << true << true
                                                   << QByteArray("XYcdef") << QByteArray("abcdef");
    QTest::newRow("OpenOrCreateReadWrite, missing") << OpenMode::OpenOrCreateReadWrite << false
                                                    << true << QByteArray("XY") << QByteArray();
}

void FileAccessTest::openModes() {
    QFETCH(OpenMode, mode);
    QFETCH(bool, exists);
    QFETCH(bool, opens);
    QFETCH(QByteArray, afterWrite);
    QFETCH(QByteArray, read);
    QTemporaryDir dir;
    const QString path = dir.filePath("f.bin");
    if (exists) QVERIFY(writeFile(path, "abcdef"));

    FileNumber f = openFile(gbk(path), mode, ShareMode::DenyNone);
    QCOMPARE(f != 0, opens);
    QCOMPARE(QFileInfo::exists(path), exists || opens);
    if (!opens) return;
    QCOMPARE(QByteArray::fromStdString(readBytes(f, 100)), read);
    QVERIFY(seekToStart(f));
    bool writable = mode != OpenMode::Read;
    QCOMPARE(writeBytes(f, "XY"), writable);
    closeFile(f);
    QCOMPARE(readFile(path), writable ? afterWrite : QByteArray("abcdef"));
}

void FileAccessTest::rejectedArguments_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("share");
    QTest::newRow("mode 0") << "f" << 0 << 1;
    QTest::newRow("mode 7") << "f" << 7 << 1;
    QTest::newRow("share 0") << "f" << 5 << 0;
    QTest::newRow("share 5") << "f" << 5 << 5;
    QTest::newRow("empty path") << "" << 5 << 1;
    QTest::newRow("a folder") << "." << 1 << 1;
    // Writing into a pipe would block the whole client once nobody reads it.
    QTest::newRow("a named pipe") << "pipe" << 5 << 1;
}

void FileAccessTest::rejectedArguments() {
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(int, share);
    QTemporaryDir dir;
    Text path = name.isEmpty() ? Text() : gbk(dir.filePath(name));
    if (name == "pipe") QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(name)).constData(), 0600), 0);
    QCOMPARE(openFile(path, OpenMode(mode), ShareMode(share)), FileNumber(0));
    if (name == "f") QVERIFY(!QFileInfo::exists(dir.filePath("f")));
}

void FileAccessTest::missingFolderIsNeverCreated() {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/f.bin");
    FileNumber f = openFile(gbk(path), OpenMode::OpenOrCreateWrite, ShareMode::DenyNone);
    QCOMPARE(f, FileNumber(0));
    QVERIFY(!seekToEnd(f));
    QVERIFY(!writeBytes(f, "lost"));
    closeFile(f);
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
    QCOMPARE(fileSize(gbk(path)), -1);
}

void FileAccessTest::writeOverwritesAtPositionAndAppendsAfterSeekToEnd() {
    QTemporaryDir dir;
    const QString path = dir.filePath("paper.zip");
    QVERIFY(writeFile(path, "0123456789"));
    FileNumber f = openFile(gbk(path), OpenMode::OpenOrCreateWrite, ShareMode::DenyNone);
    QVERIFY(f != 0);
    QVERIFY(writeBytes(f, {"ab", "", std::string_view("c\0d", 3)}));
    QVERIFY(seekToEnd(f));
    QVERIFY(writeBytes(f, "END"));
    closeFile(f);
    QCOMPARE(readFile(path), QByteArray("abc\0d56789END", 13));

    // Pieces of 10, 1 and 7 bytes appended by separate opens, as the paper arrives.
    const QString paper = dir.filePath("pieces.zip");
    for (QByteArray piece : {QByteArray(10, 'a'), QByteArray(1, 'b'), QByteArray(7, 'c')}) {
        FileNumber g = openFile(gbk(paper), OpenMode::OpenOrCreateWrite, ShareMode::DenyNone);
        seekToEnd(g);
        writeBytes(g, piece.toStdString());
        closeFile(g);
    }
    QCOMPARE(readFile(paper), QByteArray(10, 'a') + "b" + QByteArray(7, 'c'));
    QCOMPARE(fileSize(gbk(paper)), 18);
}

void FileAccessTest::readCounts_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("count");  // -2: the file's own size
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("whole file by fileSize") << QByteArray("answer") << -2 << QByteArray("answer");
    QTest::newRow("more than the file") << QByteArray("answer") << 1000 << QByteArray("answer");
    QTest::newRow("fewer") << QByteArray("answer") << 3 << QByteArray("ans");
    QTest::newRow("zero") << QByteArray("answer") << 0 << QByteArray();
    QTest::newRow("minus one") << QByteArray("answer") << -1 << QByteArray();
    QTest::newRow("empty file") << QByteArray() << -2 << QByteArray();
    QTest::newRow("zero bytes inside") << QByteArray("a\0b", 3) << -2 << QByteArray("a\0b", 3);
}

void FileAccessTest::readCounts() {
    QFETCH(QByteArray, contents);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("a.zip");
    QVERIFY(writeFile(path, contents));
    FileNumber f = openFile(gbk(path), OpenMode::Read, ShareMode::DenyNone);
    QVERIFY(f != 0);
    QCOMPARE(fileSize(gbk(path)), contents.size());
    QVERIFY(seekToStart(f));
    Bytes got = readBytes(f, count == -2 ? fileSize(gbk(path)) : count);
    QCOMPARE(QByteArray::fromStdString(got), expected);
    closeFile(f);
}

void FileAccessTest::closedAndZeroNumbersDoNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    QVERIFY(writeFile(path, "kept"));
    FileNumber f = openFile(gbk(path), OpenMode::ReadWrite, ShareMode::DenyNone);
    QVERIFY(f != 0);
    closeFile(f);
    closeFile(f);
    for (FileNumber n : {f, FileNumber(0)}) {
        QVERIFY(!seekToStart(n));
        QVERIFY(!seekToEnd(n));
        QVERIFY(readBytes(n, 10).empty());
        QVERIFY(!writeBytes(n, "x"));
    }
    QCOMPARE(readFile(path), QByteArray("kept"));
    // A number is never handed out twice.
    FileNumber g = openFile(gbk(path), OpenMode::Read, ShareMode::DenyNone);
    QVERIFY(g != 0 && g != f);
    closeFile(g);
}

void FileAccessTest::shareModes_data() {
    QTest::addColumn<OpenMode>("firstMode");
    QTest::addColumn<ShareMode>("firstShare");
    QTest::addColumn<OpenMode>("secondMode");
    QTest::addColumn<ShareMode>("secondShare");
    QTest::addColumn<bool>("secondOpens");
    using M = OpenMode;
    using S = ShareMode;
    QTest::newRow("writer and reader, both DenyNone") << M::OpenOrCreateWrite << S::DenyNone << M::Read << S::DenyNone << true;
    QTest::newRow("DenyWrite reader, second reader") << M::Read << S::DenyWrite << M::Read << S::DenyNone << true;
    QTest::newRow("DenyWrite reader, second writer") << M::Read << S::DenyWrite << M::Write << S::DenyNone << false;
    QTest::newRow("DenyRead writer, second writer") << M::Write << S::DenyRead << M::Write << S::DenyNone << true;
    QTest::newRow("DenyRead writer, second reader") << M::Write << S::DenyRead << M::Read << S::DenyNone << false;
    QTest::newRow("DenyAll, second reader") << M::Read << S::DenyAll << M::Read << S::DenyNone << false;
    QTest::newRow("reader, second denies reading") << M::Read << S::DenyNone << M::Write << S::DenyRead << false;
    QTest::newRow("writer, second reader denying writes") << M::Write << S::DenyNone << M::Read << S::DenyWrite << false;
    QTest::newRow("reader, second writer with no sharing") << M::Read << S::DenyNone << M::CreateWrite << S::DenyAll << false;
    QTest::newRow("reader, second reader denying writes") << M::Read << S::DenyNone << M::Read << S::DenyWrite << true;
}

void FileAccessTest::shareModes() {
    QFETCH(OpenMode, firstMode);
    QFETCH(ShareMode, firstShare);
    QFETCH(OpenMode, secondMode);
    QFETCH(ShareMode, secondShare);
    QFETCH(bool, secondOpens);
    QTemporaryDir dir;
    const QString path = dir.filePath("shared.bin");
    QVERIFY(writeFile(path, "shared"));
    FileNumber first = openFile(gbk(path), firstMode, firstShare);
    QVERIFY(first != 0);
    FileNumber second = openFile(gbk(path), secondMode, secondShare);
    QCOMPARE(second != 0, secondOpens);
    closeFile(second);
    closeFile(first);
    // Once both are closed nothing stands in the way.
    FileNumber again = openFile(gbk(path), secondMode, secondShare);
    QVERIFY(again != 0);
    closeFile(again);
}

void FileAccessTest::refusedCreateWriteKeepsContents() {
    QTemporaryDir dir;
    const QString path = dir.filePath("answer.zip");
    QVERIFY(writeFile(path, "old archive"));
    FileNumber reader = openFile(gbk(path), OpenMode::Read, ShareMode::DenyWrite);
    QVERIFY(reader != 0);
    QCOMPARE(openFile(gbk(path), OpenMode::CreateWrite, ShareMode::DenyAll), FileNumber(0));
    closeFile(reader);
    QCOMPARE(readFile(path), QByteArray("old archive"));
}

void FileAccessTest::gbkAndBackslashPaths() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("考试"));
    // The path is written Windows-style, with "\" separators, in GBK.
    Text path = gbk(dir.path()) + GBK("\\考试\\答案.txt");
    FileNumber f = openFile(path, OpenMode::CreateWrite, ShareMode::DenyNone);
    QVERIFY(f != 0);
    QVERIFY(writeBytes(f, "gbk"));
    closeFile(f);
    QCOMPARE(readFile(dir.filePath("考试/答案.txt")), QByteArray("gbk"));
    QCOMPARE(fileSize(path), 3);
    // 0x5C as a GBK second byte is part of a character, not a separator.
    const Text tricky = GBK("乗");  // GBK 81 5C
    QCOMPARE(QByteArray::fromStdString(tricky.bytes()).toHex(), QByteArray("815c"));
    FileNumber g = openFile(gbk(dir.path()) + GBK("\\") + tricky, OpenMode::CreateWrite,
                            ShareMode::DenyNone);
    QVERIFY(g != 0);
    closeFile(g);
    QVERIFY(QFileInfo::exists(dir.filePath("乗")));
}

QTEST_GUILESS_MAIN(FileAccessTest)
#include "FileAccessTest.moc"
