// Unpacking archives written by other tools (Info-ZIP zip, 7z, Python's zipfile) and crafted
// damaged or hostile ones, into real temporary folders.
#include <QRandomGenerator>
#include <QtTest>

#include "ArchiveTestSupport.h"
#include "files/ZipArchiver.h"

using namespace exam;
using namespace testing;

namespace {

// The tree that every tool archives in tools_data.
void makeSourceTree(const QString& root) {
    writeFile(root + "/top.txt", QByteArray("top level text\n").repeated(300));
    QByteArray bin;
    for (int i = 0; i < 10240; ++i) bin.append(char(i * 7));
    writeFile(root + "/sub/inner.bin", bin);
    writeFile(root + "/sub/deeper/empty.txt", QByteArray());
}

QByteArray makeArchive(const QString& tool, const QString& dir) {
    const QString src = dir + "/tree";
    makeSourceTree(src);
    const QString out = dir + "/made.zip";
    Run r;
    if (tool == "zip -r") r = run("sh", {"-c", "cd '" + src + "' && zip -q -r '" + out + "' ."});
    else if (tool == "zip -0 -r") r = run("sh", {"-c", "cd '" + src + "' && zip -q -0 -r '" + out + "' ."});
    else if (tool == "zip -D -r") r = run("sh", {"-c", "cd '" + src + "' && zip -q -D -r '" + out + "' ."});
    else if (tool == "zip streamed") r = run("sh", {"-c", "cd '" + src + "' && zip -q -r -fd - . > '" + out + "'"});
    else if (tool == "7z deflate") r = run("7z", {"a", "-tzip", "-mx=9", out, src + "/*"});
    else if (tool == "7z store") r = run("7z", {"a", "-tzip", "-mx=0", out, src + "/*"});
    else r = python({"make", tool, out});
    if (r.exitCode != 0) qWarning() << r.out << r.err;
    return readFile(out);
}

Text target(const QTemporaryDir& dir, const QString& name = "paper") {
    return gbk(dir.filePath(name));
}

}  // namespace

class ZipUnpackTest : public QObject {
    Q_OBJECT
private slots:
    void archivesOfOtherTools_data();
    void archivesOfOtherTools();
    void gbkNames();
    void staleBytesInFront_data();
    void staleBytesInFront();
    void rejectedArchives_data();
    void rejectedArchives();
    void absentPaths();
    void missingFolderLevelsAreCreated();
    void unreadableEntryStopsWithOne();
    void readOnlyEntriesAndTargetsEndWritable();
    void replacesSameNamesKeepsOthers();
    void namesThatClimbOutAreRefused_data();
    void namesThatClimbOutAreRefused();
    void crcMismatchFails();
    void timesComeFromTheArchive();
    void progressAndCancel();
    void mutatedArchivesStayInside();
};

void ZipUnpackTest::archivesOfOtherTools_data() {
    QTest::addColumn<QString>("tool");
    for (const char* t : {"zip -r", "zip -0 -r", "zip -D -r", "zip streamed", "7z deflate",
                          "7z store", "deflated", "stored", "descriptor", "nofolders",
                          "slashfile"})
        QTest::newRow(t) << QString(t);
}

void ZipUnpackTest::archivesOfOtherTools() {
    QFETCH(QString, tool);
    QTemporaryDir dir;
    QVERIFY(!makeArchive(tool, dir.path()).isEmpty());
    ZipArchiver zip;
    // The paper folder is always absolute; folders without their own entry are made anyway.
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 1);
    QMap<QString, QByteArray> got = tree(dir.filePath("paper"));
    if (tool == "nofolders") {
        QCOMPARE(got.value("a/b/c.txt"), QByteArray("nested without folder entries\n"));
        QCOMPARE(got.value("a/d.txt"), QByteArray("second\n"));
    } else if (tool == "slashfile") {
        // A name ending in "/" without folder attributes is still a folder.
        QCOMPARE(got.value("plain/x.txt"), QByteArray("x\n"));
    } else if (tool == "deflated" || tool == "stored" || tool == "descriptor") {
        QCOMPARE(got.value("top.txt"), QByteArray("top level text\n").repeated(300));
        QCOMPARE(got.value("sub/inner.bin").size(), 10240);
        QVERIFY(got.contains("sub/deeper/empty.txt"));
    } else {
        QMap<QString, QByteArray> want = tree(dir.filePath("tree"));
        if (tool == "zip -D -r" || tool == "zip streamed") {
            for (auto it = want.begin(); it != want.end();) {
                it = it.key().endsWith('/') && !got.contains(it.key()) ? want.erase(it) : ++it;
            }
        }
        QCOMPARE(got, want);
    }
}

void ZipUnpackTest::gbkNames() {
    QTemporaryDir dir;
    QVERIFY(!makeArchive("gbk", dir.path()).isEmpty());
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 1);
    QCOMPARE(readFile(dir.filePath("paper/试卷/第一题.txt")),
             QByteArray::fromStdString(GBK("答案").bytes()).repeated(100));
}

void ZipUnpackTest::staleBytesInFront_data() {
    QTest::addColumn<int>("staleBytes");  // of an older archive; -1: all of it
    QTest::newRow("a whole older archive") << -1;
    QTest::newRow("the start of an older archive") << 100;
    QTest::newRow("a local header signature only") << 32;
}

void ZipUnpackTest::staleBytesInFront() {
    QFETCH(int, staleBytes);
    QTemporaryDir dir;
    QTemporaryDir old;
    QByteArray older = makeArchive("deflated", old.path());
    QByteArray newer = makeArchive("gbk", dir.path());
    if (staleBytes >= 0) older = older.left(staleBytes);
    const QString archive = dir.filePath("123.zip");
    QVERIFY(writeFile(archive, older + newer));
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(archive), target(dir)), 1);
    QMap<QString, QByteArray> got = tree(dir.filePath("paper"));
    QCOMPARE(got.keys(), (QStringList{"试卷/", "试卷/第一题.txt"}));
}

void ZipUnpackTest::rejectedArchives_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray good = [] {
        QTemporaryDir d;
        return makeArchive("deflated", d.path());
    }();
    QVERIFY(good.size() > 400);
    QTest::newRow("22-byte empty archive") << (QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    QTest::newRow("shorter than 32 bytes") << good.left(31);
    QTest::newRow("cut in the middle") << good.left(good.size() / 2);
    QTest::newRow("end record cut off") << good.left(good.size() - 10);
    QTest::newRow("junk in front") << (QByteArray("not a paper ") + good);
    QTest::newRow("text file") << QByteArray("hello, this is no archive at all, really not").repeated(3);
    QByteArray noName = good;
    noName[26] = 0;  // the first name length 0 and the upper size half 0
    noName[27] = 0;
    noName[24] = 0;
    noName[25] = 0;
    QTest::newRow("first entry without a name") << noName;
    QByteArray diskTwo = good;
    diskTwo[diskTwo.size() - 22 + 4] = 1;
    QTest::newRow("end record on another disk") << diskTwo;
}

void ZipUnpackTest::rejectedArchives() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("a.zip"), bytes));
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(dir.filePath("a.zip")), target(dir)), 0);
    QMap<QString, QByteArray> got = tree(dir.filePath("paper"));
    QVERIFY2(got.isEmpty(), qPrintable(QStringList(got.keys()).join(' ')));
}

void ZipUnpackTest::absentPaths() {
    QTemporaryDir dir;
    makeArchive("deflated", dir.path());
    ZipArchiver zip;
    QCOMPARE(zip.unpack(Text(), target(dir)), -1);
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), Text()), -1);
    QCOMPARE(zip.unpack(gbk(dir.filePath("none.zip")), target(dir)), -1);
    QVERIFY(!QFileInfo::exists(dir.filePath("paper")));
}

void ZipUnpackTest::missingFolderLevelsAreCreated() {
    QTemporaryDir dir;
    makeArchive("stored", dir.path());
    ZipArchiver zip;
    // Written Windows-style with a trailing "\".
    Text folder = gbk(dir.path()) + GBK("\\考试\\2024\\123\\");
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), folder), 1);
    QVERIFY(QFileInfo(dir.filePath("考试/2024/123/sub/inner.bin")).isFile());
}

void ZipUnpackTest::unreadableEntryStopsWithOne() {
    QTemporaryDir dir;
    QVERIFY(!makeArchive("method12", dir.path()).isEmpty());
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 1);
    QCOMPARE(tree(dir.filePath("paper")).keys(), QStringList{"first.txt"});
}

void ZipUnpackTest::readOnlyEntriesAndTargetsEndWritable() {
    QTemporaryDir dir;
    QVERIFY(!makeArchive("readonly", dir.path()).isEmpty());
    const QString locked = dir.filePath("paper/locked.txt");
    QVERIFY(writeFile(locked, "an older read-only file"));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner));
    ZipArchiver zip;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 1);
        QCOMPARE(readFile(locked), QByteArray("read only\n"));
        QVERIFY(QFileInfo(locked).permissions() & QFile::WriteOwner);
    }
}

void ZipUnpackTest::replacesSameNamesKeepsOthers() {
    QTemporaryDir dir;
    makeArchive("deflated", dir.path());
    QVERIFY(writeFile(dir.filePath("paper/top.txt"), QByteArray(100000, 'o')));
    QVERIFY(writeFile(dir.filePath("paper/mine.txt"), "examinee's own"));
    QVERIFY(QDir().mkpath(dir.filePath("paper/keep")));
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 1);
    QMap<QString, QByteArray> got = tree(dir.filePath("paper"));
    QCOMPARE(got.value("top.txt"), QByteArray("top level text\n").repeated(300));
    QCOMPARE(got.value("mine.txt"), QByteArray("examinee's own"));
    QVERIFY(got.contains("keep/"));
}

void ZipUnpackTest::namesThatClimbOutAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../evil.txt";
    QTest::newRow("parent after a folder") << "sub/../../evil.txt";
    QTest::newRow("backslash parent") << "..\\evil.txt";
    QTest::newRow("backslash parent after a folder") << "sub\\..\\..\\evil.txt";
    QTest::newRow("only a parent") << "..";
    QTest::newRow("absolute") << "@ABS@/evil.txt";
    QTest::newRow("leading backslash") << "\\@ABS@\\evil.txt";
    QTest::newRow("drive letter") << "C:\\evil.txt";
    QTest::newRow("drive-relative") << "C:evil.txt";
    QTest::newRow("folder escaping") << "../outside/";
}

void ZipUnpackTest::namesThatClimbOutAreRefused() {
    QFETCH(QString, name);
    QTemporaryDir dir;
    // The target lies two levels down so that a climb has somewhere to land in the sandbox.
    const QString folder = dir.filePath("exam/paper");
    QString abs = dir.path().mid(1);
    name.replace("@ABS@", name.startsWith('\\') ? QString(abs).replace('/', '\\') : dir.path());
    const QString archive = dir.filePath("slip.zip");
    Run r = python({"make", "slip", archive, name, "late.txt"});
    QVERIFY2(r.exitCode == 0, r.err);
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(archive), gbk(folder)), 0);
    QMap<QString, QByteArray> all = tree(dir.path());
    all.remove("slip.zip");
    // The harmless entry before it is written; nothing else exists anywhere in the sandbox.
    QCOMPARE(all.keys(), (QStringList{"exam/", "exam/paper/", "exam/paper/good.txt"}));
}

void ZipUnpackTest::crcMismatchFails() {
    QTemporaryDir dir;
    QVERIFY(!makeArchive("badcrc", dir.path()).isEmpty());
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 0);
    QMap<QString, QByteArray> got = tree(dir.filePath("paper"));
    QVERIFY(got.contains("ok.txt"));
    QVERIFY(!got.contains("after.txt"));
}

void ZipUnpackTest::timesComeFromTheArchive() {
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    QVERIFY(writeFile(src + "/old.txt", "from 2001"));
    QFile f(src + "/old.txt");
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QDateTime when = QDateTime::fromSecsSinceEpoch(981173045);  // 2001-02-03 04:04:05 UTC
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    QVERIFY(f.setFileTime(when.addDays(1), QFileDevice::FileAccessTime));
    f.close();
    // Info-ZIP writes the extended-timestamp block with modification and access times.
    QCOMPARE(run("sh", {"-c", "cd '" + src + "' && zip -q ../t.zip old.txt"}).exitCode, 0);
    ZipArchiver zip;
    QCOMPARE(zip.unpack(gbk(dir.filePath("t.zip")), target(dir)), 1);
    QFileInfo out(dir.filePath("paper/old.txt"));
    QCOMPARE(out.lastModified().toSecsSinceEpoch(), when.toSecsSinceEpoch());
    QCOMPARE(out.lastRead().toSecsSinceEpoch(), when.addDays(1).toSecsSinceEpoch());

    // Python's zipfile writes DOS times only: 2021-05-06 07:08:10 local.
    makeArchive("deflated", dir.path());
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir, "dos")), 1);
    QCOMPARE(QFileInfo(dir.filePath("dos/top.txt")).lastModified(),
             QDateTime(QDate(2021, 5, 6), QTime(7, 8, 10)));
}

void ZipUnpackTest::progressAndCancel() {
    QTemporaryDir dir;
    makeArchive("deflated", dir.path());  // five entries
    ZipArchiver zip;
    QList<int> seen;
    zip.bind(ZipArchiver::UnpackProgress, [&](std::int32_t p) -> std::optional<bool> {
        seen << p;
        return true;
    });
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir)), 1);
    QCOMPARE(seen, (QList<int>{0, 20, 40, 60, 80, 100}));

    seen.clear();
    zip.bind(ZipArchiver::UnpackProgress, [&](std::int32_t p) -> std::optional<bool> {
        seen << p;
        return p < 20;
    });
    QCOMPARE(zip.unpack(gbk(dir.filePath("made.zip")), target(dir, "cancelled")), 1);
    QCOMPARE(seen, (QList<int>{0, 20}));
    QCOMPARE(tree(dir.filePath("cancelled")).keys(), (QStringList{"sub/", "top.txt"}));
}

// Random damage to real archives: whatever happens, nothing is written outside the target.
void ZipUnpackTest::mutatedArchivesStayInside() {
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    QVERIFY(writeFile(src + "/a.txt", QByteArray("answer ").repeated(400)));
    QVERIFY(writeFile(src + "/d/b.zip", QByteArray("stored bytes").repeated(20)));
    QVERIFY(writeFile(src + "/d/e/c.txt", "c"));
    QVERIFY(writeFile(src + "/f/g.txt", "g"));
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(src), gbk(dir.filePath("seed.zip"))), 1);
    QList<QByteArray> seeds = {readFile(dir.filePath("seed.zip")), makeArchive("descriptor", dir.path())};
    const QString sandbox = dir.filePath("sandbox");
    QVERIFY(QDir().mkpath(sandbox));
    const QString archive = sandbox + "/m.zip";

    QRandomGenerator rng(20241211);
    const int rounds = 400;
    for (int round = 0; round < rounds; ++round) {
        QByteArray bytes = seeds[round % seeds.size()];
        const int edits = 1 + rng.bounded(8);
        for (int i = 0; i < edits; ++i) {
            const int at = rng.bounded(bytes.size());
            switch (rng.bounded(7)) {
            case 6: {
                // Turn a name into one that climbs, in one of its two headers or both.
                static const char* const climbs[] = {"../", "/..", "C:\\", "..\\"};
                int from = rng.bounded(2) ? bytes.indexOf("d/e") : bytes.lastIndexOf("d/e");
                if (from >= 0) bytes.replace(from, 3, climbs[rng.bounded(4)]);
                break;
            }
            case 0: bytes[at] = char(rng.bounded(256)); break;
            case 1: bytes[at] = char(bytes[at] ^ (1 << rng.bounded(8))); break;
            case 2: bytes[at] = "/\\.:"[rng.bounded(4)]; break;
            case 3: bytes.truncate(qMax(at, 1)); break;
            case 4: bytes.insert(at, QByteArray(1 + rng.bounded(4), char(rng.bounded(256)))); break;
            default: bytes[at] = char(0xFF); break;
            }
        }
        QVERIFY(writeFile(archive, bytes));
        const int result = zip.unpack(gbk(archive), gbk(sandbox + "/t/paper"));
        QVERIFY(result == 0 || result == 1);
        const QStringList top = QDir(sandbox).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QCOMPARE(top, (QStringList{"m.zip", "t"}));
        const QStringList middle = QDir(sandbox + "/t").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QCOMPARE(middle, QStringList{"paper"});
        QDir(sandbox + "/t").removeRecursively();
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"made.zip", "sandbox", "seed.zip", "src", "tree"}));
}

QTEST_GUILESS_MAIN(ZipUnpackTest)
#include "ZipUnpackTest.moc"
