// Packing real folders, checked by independent readers: Python's zipfile (through ziptool.py),
// Info-ZIP unzip -t and zipinfo -v, and 7z t.
#include <QJsonArray>
#include <QtTest>

#include <sys/stat.h>

#include "ArchiveTestSupport.h"
#include "files/FileAccess.h"
#include "files/ZipArchiver.h"

using namespace exam;
using namespace testing;

namespace {

QJsonObject entryNamed(const QJsonObject& archive, const QByteArray& gbkName) {
    for (const QJsonValue& v : archive["entries"].toArray())
        if (v["name"].toString().toLatin1() == gbkName.toHex()) return v.toObject();
    return {};
}

QStringList names(const QJsonObject& archive) {
    QStringList all;
    for (const QJsonValue& v : archive["entries"].toArray())
        all << QString::fromUtf8(
            QByteArray::fromStdString(Text(QByteArray::fromHex(v["name"].toString().toLatin1())
                                               .toStdString())
                                          .toUtf8()));
    return all;
}

// Every reader we have agrees that the archive is sound.
void checkWithTools(const QString& archive) {
    Run unzip = run("unzip", {"-t", "-q", archive});
    QVERIFY2(unzip.exitCode == 0, unzip.out + unzip.err);
    Run sevenZip = run("7z", {"t", archive});
    QVERIFY2(sevenZip.exitCode == 0 && sevenZip.out.contains("Everything is Ok"),
             sevenZip.out + sevenZip.err);
    QJsonObject z = inspect(archive);
    QVERIFY2(z.contains("testzip") && z["testzip"].isNull(), "zipfile testzip failed");
    QVERIFY(!z["descriptorSignature"].toBool());
}

}  // namespace

class ZipPackTest : public QObject {
    Q_OBJECT
private slots:
    void layoutOfEveryRecord();
    void entriesFollowTheWalkOrder();
    void methodByName_data();
    void methodByName();
    void emptyFolderIsTheEndRecordAlone();
    void readOnlyAndHiddenFileAttributes();
    void gbkNamesWithoutUtf8Flag();
    void singleFile();
    void absentPathsAndMissingSource_data();
    void absentPathsAndMissingSource();
    void destinationReplacedCompletely();
    void destinationHeldOpenOrUncreatable_data();
    void destinationHeldOpenOrUncreatable();
    void busySourceFileEndsTheWalk_data();
    void busySourceFileEndsTheWalk();
    void progressAndCancel();
};

void ZipPackTest::layoutOfEveryRecord() {
    QTemporaryDir dir;
    const QString src = dir.filePath("123");
    QVERIFY(writeFile(src + "/a.txt", QByteArray("answer text\n").repeated(500)));
    QVERIFY(QDir().mkpath(src + "/e"));
    QByteArray inner = readFile(EXAM_SOURCE_DIR "/tests/files/ziptool.py");
    QVERIFY(writeFile(src + "/s/b.zip", inner));
    QVERIFY(writeFile(src + "/s/empty.doc", QByteArray()));
    const QString archive = dir.filePath("123rezip.zip");

    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(src), gbk(archive)), 1);
    checkWithTools(archive);
    QJsonObject z = inspect(archive);
    QCOMPARE(z["entries"].toArray().size(), 5);
    QCOMPARE(z["entries"].toArray()[0].toObject()["offset"].toInt(), 0);  // nothing in front

    struct Expect {
        QByteArray name;
        int method, flags;
        qint64 attributes, size;
    };
    const Expect expected[] = {
        {"a.txt", 8, 2, 0x81800020, 6000},  {"e/", 0, 0, 0x41C00010, 0},
        {"s/", 0, 0, 0x41C00010, 0},        {"s/b.zip", 0, 0, 0x81800020, inner.size()},
        {"s/empty.doc", 8, 2, 0x81800020, 0},
    };
    for (const Expect& x : expected) {
        QJsonObject e = entryNamed(z, x.name);
        QVERIFY2(!e.isEmpty(), x.name);
        QCOMPARE(e["method"].toInt(), x.method);
        QCOMPARE(e["flags"].toInt(), x.flags);
        QCOMPARE(qint64(e["externalAttributes"].toDouble()), x.attributes);
        QCOMPARE(qint64(e["size"].toDouble()), x.size);
        QCOMPARE(e["createSystem"].toInt(), 0x0B);
        QCOMPARE(e["createVersion"].toInt(), 0x17);
        QCOMPARE(e["extractVersion"].toInt(), 20);
        // The local header carries the final values; no data descriptor follows.
        QJsonObject local = e["local"].toObject();
        QCOMPARE(local["flags"].toInt(), x.flags);
        QCOMPARE(local["method"].toInt(), x.method);
        QCOMPARE(local["need"].toInt(), 20);
        QCOMPARE(local["crc"].toDouble(), e["crc"].toDouble());
        QCOMPARE(local["size"].toDouble(), e["size"].toDouble());
        QCOMPARE(local["compressedSize"].toDouble(), e["compressedSize"].toDouble());
        // Extended timestamps: 17 bytes with three times locally, 9 with one centrally.
        QByteArray localExtra = QByteArray::fromHex(local["extra"].toString().toLatin1());
        QByteArray centralExtra = QByteArray::fromHex(e["centralExtra"].toString().toLatin1());
        QCOMPARE(localExtra.size(), 17);
        QCOMPARE(localExtra.left(5).toHex(), QByteArray("55540d0007"));
        QCOMPARE(centralExtra.size(), 9);
        QCOMPARE(centralExtra.left(5).toHex(), QByteArray("5554050007"));
        QCOMPARE(centralExtra.mid(5), localExtra.mid(5, 4));
    }
    QCOMPARE(QByteArray::fromHex(entryNamed(z, "s/b.zip")["storedData"].toString().toLatin1()),
             inner);
    // The modification time is the file's own (no daylight saving in the test's zone).
    QJsonObject a = entryNamed(z, "a.txt");
    QByteArray aExtra = QByteArray::fromHex(a["local"].toObject()["extra"].toString().toLatin1());
    quint32 modified = qFromLittleEndian<quint32>(aExtra.constData() + 5);
    QVERIFY(qAbs(qint64(modified) - QFileInfo(src + "/a.txt").lastModified().toSecsSinceEpoch()) <= 3600);

    Run info = run("zipinfo", {"-v", archive});
    QVERIFY(info.out.contains("file system or operating system of origin:      NTFS"));
    QVERIFY(info.out.contains("version of encoding software:                   2.3"));
    QVERIFY(info.out.contains("compression sub-type (deflation):               maximum"));
    QVERIFY(!info.out.contains("extended local header:                          yes"));
    QVERIFY(info.out.contains("MS-DOS file attributes (10 hex):                dir"));
    QVERIFY(info.out.contains("MS-DOS file attributes (20 hex):                arc"));

    // Any unzip lays out the same tree.
    const QString out = dir.filePath("out");
    QVERIFY(run("unzip", {"-q", archive, "-d", out}).exitCode == 0);
    QCOMPARE(tree(out), tree(src));
}

void ZipPackTest::entriesFollowTheWalkOrder() {
    QTemporaryDir dir;
    const QString src = dir.filePath("paper");
    for (QString f : {"x1.txt", "x2.txt", "d1/y.txt", "d1/d2/z.txt", "d1/d2/d3/w.txt", "d4/v.txt"})
        QVERIFY(writeFile(src + "/" + f, f.toUtf8()));
    QVERIFY(QDir().mkpath(src + "/d1/empty"));
    const QString archive = dir.filePath("a.zip");
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(src), gbk(archive)), 1);
    checkWithTools(archive);
    const QStringList all = names(inspect(archive));
    QCOMPARE(all.size(), 11);
    // A folder's files first, then each subfolder's entry directly followed by what it holds.
    QCOMPARE(QSet<QString>(all.begin(), all.begin() + 2), (QSet<QString>{"x1.txt", "x2.txt"}));
    for (const QString& name : all) {
        if (!name.endsWith('/')) continue;
        int at = all.indexOf(name);
        int end = at + 1;
        while (end < all.size() && all[end].startsWith(name)) ++end;
        for (int i = end; i < all.size(); ++i) QVERIFY2(!all[i].startsWith(name), qPrintable(name));
        // Inside the folder, its own files come before its subfolders.
        bool seenFolder = false;
        for (int i = at + 1; i < end; ++i) {
            QString rest = all[i].mid(name.size());
            if (rest.contains('/')) seenFolder = true;
            else QVERIFY2(!seenFolder, qPrintable(all[i]));
        }
    }
    QVERIFY(!all.join(' ').contains("paper"));
}

void ZipPackTest::methodByName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("method");
    QTest::newRow("REPORT.ZIP") << "REPORT.ZIP" << 0;
    QTest::newRow("data.Gz") << "data.Gz" << 0;
    QTest::newRow("a.tgz") << "a.tgz" << 0;
    QTest::newRow("x.Z") << "x.Z" << 0;
    QTest::newRow("old.arj") << "old.arj" << 0;
    QTest::newRow("old.lzh") << "old.lzh" << 0;
    QTest::newRow("old.zoo") << "old.zoo" << 0;
    QTest::newRow("old.arc") << "old.arc" << 0;
    QTest::newRow("x.zip.txt") << "x.zip.txt" << 8;
    QTest::newRow("no extension") << "zip" << 8;
    QTest::newRow("dot in the folder part") << "dir.zip/inner" << 8;
    QTest::newRow("picture") << "photo.jpg" << 8;
    QTest::newRow("x.zipx") << "x.zipx" << 8;
}

void ZipPackTest::methodByName() {
    QFETCH(QString, name);
    QFETCH(int, method);
    QTemporaryDir dir;
    QByteArray data = QByteArray("compressible ").repeated(1000);
    QVERIFY(writeFile(dir.filePath("src/") + name, data));
    const QString archive = dir.filePath("a.zip");
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(dir.filePath("src")), gbk(archive)), 1);
    checkWithTools(archive);
    QJsonObject e = entryNamed(inspect(archive), name.toUtf8());
    QCOMPARE(e["method"].toInt(), method);
    QCOMPARE(e["flags"].toInt(), method == 8 ? 2 : 0);
    if (method == 0)
        QCOMPARE(QByteArray::fromHex(e["storedData"].toString().toLatin1()), data);
    else
        QVERIFY(e["compressedSize"].toInt() < data.size() / 10);
}

void ZipPackTest::emptyFolderIsTheEndRecordAlone() {
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("empty")));
    const QString archive = dir.filePath("a.zip");
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(dir.filePath("empty")), gbk(archive)), 1);
    QCOMPARE(readFile(archive), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    QJsonObject z = inspect(archive);
    QVERIFY(z["testzip"].isNull());
    QCOMPARE(z["entries"].toArray().size(), 0);
}

void ZipPackTest::readOnlyAndHiddenFileAttributes() {
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("src/locked.txt"), "locked"));
    QVERIFY(writeFile(dir.filePath("src/.hidden"), "hidden"));
    QVERIFY(QFile::setPermissions(dir.filePath("src/locked.txt"),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString archive = dir.filePath("a.zip");
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(dir.filePath("src")), gbk(archive)), 1);
    QJsonObject z = inspect(archive);
    QCOMPARE(qint64(entryNamed(z, "locked.txt")["externalAttributes"].toDouble()), 0x81000021);
    QCOMPARE(qint64(entryNamed(z, ".hidden")["externalAttributes"].toDouble()), 0x81800022);
}

void ZipPackTest::gbkNamesWithoutUtf8Flag() {
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    QVERIFY(writeFile(src + "/答案.txt", "first"));
    QVERIFY(writeFile(src + "/第二题/图片.jpg", "second"));
    const QString archive = dir.filePath("a.zip");
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(src), gbk(archive)), 1);
    checkWithTools(archive);
    QJsonObject z = inspect(archive);
    for (QString name : {"答案.txt", "第二题/", "第二题/图片.jpg"}) {
        QJsonObject e = entryNamed(z, QByteArray::fromStdString(gbk(name).bytes()));
        QVERIFY2(!e.isEmpty(), qPrintable(name));
        QCOMPARE(e["flags"].toInt() & 0x800, 0);
    }
}

void ZipPackTest::singleFile() {
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("sub/报告.doc"), "single"));
    const QString archive = dir.filePath("one.zip");
    ZipArchiver zip;
    Text source = gbk(dir.path()) + GBK("\\sub\\报告.doc");
    QCOMPARE(zip.pack(source, gbk(archive)), 1);
    checkWithTools(archive);
    QCOMPARE(names(inspect(archive)), QStringList{"报告.doc"});

    // A file packed onto itself is in use by the pack: it fails and the file keeps its bytes.
    QCOMPARE(zip.pack(source, source), 0);
    QCOMPARE(readFile(dir.filePath("sub/报告.doc")), QByteArray("single"));
}

void ZipPackTest::absentPathsAndMissingSource_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::newRow("empty source") << "" << "a.zip";
    QTest::newRow("empty destination") << "src" << "";
    QTest::newRow("missing source") << "nothing" << "a.zip";
}

void ZipPackTest::absentPathsAndMissingSource() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("src/f.txt"), "f"));
    ZipArchiver zip;
    auto path = [&](const QString& p) { return p.isEmpty() ? Text() : gbk(dir.filePath(p)); };
    QCOMPARE(zip.pack(path(source), path(destination)), -1);
    QVERIFY(!QFileInfo::exists(dir.filePath("a.zip")));
}

void ZipPackTest::destinationReplacedCompletely() {
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("src/f.txt"), "f"));
    const QString archive = dir.filePath("a.zip");
    QVERIFY(writeFile(archive, QByteArray(100000, 'x')));
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(dir.filePath("src")), gbk(archive)), 1);
    QVERIFY(QFileInfo(archive).size() < 1000);
    checkWithTools(archive);
}

void ZipPackTest::destinationHeldOpenOrUncreatable_data() {
    QTest::addColumn<QString>("destination");
    QTest::addColumn<int>("holdMode");  // 0: not held
    QTest::newRow("held open for reading, sharing everything") << "a.zip" << int(OpenMode::Read);
    QTest::newRow("held open for appending") << "a.zip" << int(OpenMode::OpenOrCreateWrite);
    QTest::newRow("folder missing") << "missing/a.zip" << 0;
    QTest::newRow("a folder of that name") << "src" << 0;
}

void ZipPackTest::destinationHeldOpenOrUncreatable() {
    QFETCH(QString, destination);
    QFETCH(int, holdMode);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("src/f.txt"), "f"));
    const QString archive = dir.filePath(destination);
    const QByteArray old = "old archive bytes";
    if (holdMode) QVERIFY(writeFile(archive, old));
    FileNumber held = holdMode ? openFile(gbk(archive), OpenMode(holdMode), ShareMode::DenyNone) : 0;
    QVERIFY(!holdMode || held != 0);
    ZipArchiver zip;
    QCOMPARE(zip.pack(gbk(dir.filePath("src")), gbk(archive)), 0);
    closeFile(held);
    if (holdMode) QCOMPARE(readFile(archive), old);
    else QVERIFY(!QFileInfo(archive).isFile());
}

void ZipPackTest::busySourceFileEndsTheWalk_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("held for writing by another program") << "hold";
    QTest::newRow("growing while it is read") << "grow";
    QTest::newRow("held for writing by this process") << "self";
    QTest::newRow("a named pipe") << "pipe";
}

void ZipPackTest::busySourceFileEndsTheWalk() {
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    QVERIFY(writeFile(src + "/before1.txt", "one"));
    QVERIFY(writeFile(src + "/before2.txt", "two"));
    // Files of a folder come before its subfolders, so the busy file is added last.
    const QString busy = src + "/z/busy.txt";
    if (how == "pipe") {
        QVERIFY(QDir().mkpath(src + "/z"));
        QCOMPARE(::mkfifo(QFile::encodeName(busy).constData(), 0600), 0);
    } else {
        QVERIFY(writeFile(busy, QByteArray("editor document ").repeated(how == "grow" ? 2000000 : 10)));
    }
    const QString archive = dir.filePath("a.zip");

    QProcess other;
    FileNumber own = 0;
    if (how == "self") {
        own = openFile(gbk(busy), OpenMode::Write, ShareMode::DenyNone);
        QVERIFY(own != 0);
    } else if (how == "pipe") {
        // Watchdog: a pack blocked on the pipe gets an empty writer after a while.
        other.start("python3", {"-c", "import sys, time; time.sleep(10); open(sys.argv[1], 'wb').close()", busy});
        QVERIFY(other.waitForStarted(10000));
    } else {
        other.start("python3", {zipTool(), how, busy});
        QVERIFY(other.waitForReadyRead(10000));
        QCOMPARE(other.readLine().trimmed(), QByteArray("ready"));
    }
    ZipArchiver zip;
    const int result = zip.pack(gbk(src), gbk(archive));
    closeFile(own);
    if (how == "pipe") {
        other.kill();
        other.waitForFinished(5000);
    } else if (how != "self") {
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished(10000));
    }
    QCOMPARE(result, 0);
    checkWithTools(archive);
    QStringList all = names(inspect(archive));
    std::sort(all.begin(), all.end());
    QCOMPARE(all, (QStringList{"before1.txt", "before2.txt", "z/"}));
}

void ZipPackTest::progressAndCancel() {
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    for (QString f : {"a.txt", "b.txt", "c.txt", "d/e.txt"}) QVERIFY(writeFile(src + "/" + f, "x"));
    const QString archive = dir.filePath("a.zip");
    ZipArchiver zip;
    QList<int> seen;
    zip.bind(ZipArchiver::PackProgress, [&](std::int32_t p) -> std::optional<bool> {
        seen << p;
        return std::nullopt;
    });
    QCOMPARE(zip.pack(gbk(src), gbk(archive)), 1);
    QCOMPARE(seen, (QList<int>{20, 40, 60, 80, 100}));

    seen.clear();
    zip.bind(ZipArchiver::PackProgress, [&](std::int32_t p) -> std::optional<bool> {
        seen << p;
        return false;
    });
    QCOMPARE(zip.pack(gbk(src), gbk(archive)), 1);
    QCOMPARE(seen, QList<int>{20});
    checkWithTools(archive);
    QCOMPARE(names(inspect(archive)).size(), 1);
}

QTEST_GUILESS_MAIN(ZipPackTest)
#include "ZipPackTest.moc"
