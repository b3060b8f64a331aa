// The configuration file against real files in a temporary configuration folder: the rules of
// the Windows profile reader, the folder that stands for the Windows directory, and files that
// cannot be read as configuration.
#include <QtTest>

#include <sys/stat.h>

#include "../support/TextBytes.h"
#include "core/ConfigFile.h"

using exam::Text;
using exam::test::bytes;
using exam::test::text;

namespace {

QByteArray utf16le(const QString& s) {
    QByteArray out("\xFF\xFE");
    for (QChar c : s) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

}  // namespace

class ConfigFileTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void profileRules_data();
    void profileRules();
    void emptyNamesGiveEmptyTextWithoutReading_data();
    void emptyNamesGiveEmptyTextWithoutReading();
    void longValuesAreCut_data();
    void longValuesAreCut();
    void missingFileGivesDefaultEvenNextToTheProgram();
    void unreadableFilesGiveDefault_data();
    void unreadableFilesGiveDefault();
    void nameWithFolderIsReadWhereItPoints();
    void folderIsFixedUnlessMovedByTheVariable();

private:
    void writeConfig(const QByteArray& contents, const QString& name = "config.ini");
    Text readIp(const QByteArray& defaultValue = "127.0.0.1") {
        return exam::readConfigValue(Text("config.ini"), Text("Server"), Text("IP"),
                                     text(defaultValue));
    }

    std::unique_ptr<QTemporaryDir> folder_;
};

void ConfigFileTest::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    qputenv(exam::ConfigFolderVariable, QFile::encodeName(folder_->path()));
}

void ConfigFileTest::cleanup() {
    qunsetenv(exam::ConfigFolderVariable);
    folder_.reset();
}

void ConfigFileTest::writeConfig(const QByteArray& contents, const QString& name) {
    QFile file(folder_->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
}

void ConfigFileTest::profileRules_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray s = "Server", k = "IP";
    QTest::newRow("CR LF") << QByteArray("[Server]\r\nIP=192.168.1.10\r\n") << s << k
                           << QByteArray("192.168.1.10");
    QTest::newRow("LF") << QByteArray("[Server]\nIP=192.168.1.10\n") << s << k
                        << QByteArray("192.168.1.10");
    QTest::newRow("CR") << QByteArray("[Server]\rIP=10.0.0.1") << s << k << QByteArray("10.0.0.1");
    QTest::newRow("no line end at the end")
        << QByteArray("[Server]\nIP=exam-server") << s << k << QByteArray("exam-server");
    QTest::newRow("lower-case names in the file")
        << QByteArray("[server]\nip=10.0.0.1\n") << s << k << QByteArray("10.0.0.1");
    QTest::newRow("odd-case names asked")
        << QByteArray("[Server]\nIP=10.0.0.1\n") << QByteArray("sERVER") << QByteArray("Ip")
        << QByteArray("10.0.0.1");
    QTest::newRow("blanks around the value")
        << QByteArray("[Server]\nIP =   10.0.0.2  \t \r\n") << s << k << QByteArray("10.0.0.2");
    QTest::newRow("blanks around names and lines")
        << QByteArray("  [ Server ]  \r\n\t IP\t= 10.0.0.3\r\n") << s << k
        << QByteArray("10.0.0.3");
    QTest::newRow("blanks around the names asked")
        << QByteArray("[Server]\nIP=10.0.0.3\n") << QByteArray("Server  ") << QByteArray("IP ")
        << QByteArray("10.0.0.3");
    QTest::newRow("nothing after the equals sign")
        << QByteArray("[Server]\r\nIP=\r\n") << s << k << QByteArray("");
    QTest::newRow("only blanks after the equals sign")
        << QByteArray("[Server]\nIP=   \n") << s << k << QByteArray("");
    QTest::newRow("double quotes")
        << QByteArray("[Server]\nIP=\"10.0.0.4\"\n") << s << k << QByteArray("10.0.0.4");
    QTest::newRow("single quotes")
        << QByteArray("[Server]\nIP='10.0.0.4'\n") << s << k << QByteArray("10.0.0.4");
    QTest::newRow("blanks inside quotes stay")
        << QByteArray("[Server]\nIP= \" 10.0.0.4 \" \n") << s << k << QByteArray(" 10.0.0.4 ");
    QTest::newRow("one pair only")
        << QByteArray("[Server]\nIP=\"\"x\"\"\n") << s << k << QByteArray("\"x\"");
    QTest::newRow("empty quotes") << QByteArray("[Server]\nIP=\"\"\n") << s << k << QByteArray("");
    QTest::newRow("lone quote") << QByteArray("[Server]\nIP=\"\n") << s << k << QByteArray("\"");
    QTest::newRow("unbalanced quote")
        << QByteArray("[Server]\nIP=\"10.0.0.4\n") << s << k << QByteArray("\"10.0.0.4");
    QTest::newRow("mixed quotes") << QByteArray("[Server]\nIP=\"10.0.0.4'\n") << s << k
                                  << QByteArray("\"10.0.0.4'");
    QTest::newRow("equals sign in the value")
        << QByteArray("[Server]\nIP=a=b\n") << s << k << QByteArray("a=b");
    QTest::newRow("semicolon inside a value stays")
        << QByteArray("[Server]\nIP=10.0.0.5 ; main\n") << s << k << QByteArray("10.0.0.5 ; main");
    QTest::newRow("comment line") << QByteArray("[Server]\n;IP=1.1.1.1\nIP=10.0.0.6\n") << s << k
                                  << QByteArray("10.0.0.6");
    QTest::newRow("commented key only")
        << QByteArray("[Server]\n ; IP=1.1.1.1\n") << s << k << QByteArray("127.0.0.1");
    QTest::newRow("line without equals sign is skipped")
        << QByteArray("[Server]\nIP\nIP=10.0.0.7\n") << s << k << QByteArray("10.0.0.7");
    QTest::newRow("first key wins")
        << QByteArray("[Server]\nIP=10.0.0.8\nip=10.0.0.9\n") << s << k << QByteArray("10.0.0.8");
    QTest::newRow("first section wins")
        << QByteArray("[Server]\nIP=10.0.0.8\n[Server]\nIP=10.0.0.9\n") << s << k
        << QByteArray("10.0.0.8");
    QTest::newRow("a later section of the same name is not read")
        << QByteArray("[Server]\nPort=1\n[Other]\n[server]\nIP=10.0.0.9\n") << s << k
        << QByteArray("127.0.0.1");
    QTest::newRow("key of another section")
        << QByteArray("[Client]\nIP=10.0.0.1\n[Server]\nName=x\n") << s << k
        << QByteArray("127.0.0.1");
    QTest::newRow("key before any section")
        << QByteArray("IP=10.0.0.1\n[Server]\n") << s << k << QByteArray("127.0.0.1");
    QTest::newRow("missing section")
        << QByteArray("[Client]\nIP=10.0.0.1\n") << s << k << QByteArray("127.0.0.1");
    QTest::newRow("header without closing bracket")
        << QByteArray("[Server\nIP=10.0.0.1\n") << s << k << QByteArray("127.0.0.1");
    QTest::newRow("text after the header")
        << QByteArray("[Server] ; exam server\nIP=10.0.0.1\n") << s << k << QByteArray("10.0.0.1");
    QTest::newRow("prefix of the section name")
        << QByteArray("[ServerX]\nIP=10.0.0.1\n") << s << k << QByteArray("127.0.0.1");
    QTest::newRow("prefix of the key name")
        << QByteArray("[Server]\nIPv4=10.0.0.1\n") << s << k << QByteArray("127.0.0.1");
    QTest::newRow("end-of-file mark")
        << QByteArray("[Server]\r\nIP=10.0.0.1\r\n\x1A") << s << k << QByteArray("10.0.0.1");
    QTest::newRow("empty file") << QByteArray() << s << k << QByteArray("127.0.0.1");
    QTest::newRow("UTF-8 byte-order mark")
        << QByteArray("\xEF\xBB\xBF[Server]\nIP=10.0.0.1\n") << s << k << QByteArray("10.0.0.1");
    QTest::newRow("UTF-16 with byte-order mark")
        << utf16le("[Server]\r\nIP=10.0.0.1\r\n") << s << k << QByteArray("10.0.0.1");
    // 考试 and 地址 in GBK; 丄 (81 41) and 乤 (81 61) differ only by an ASCII case in the trail.
    QTest::newRow("GBK names") << QByteArray("[\xBF\xBC\xCA\xD4]\n\xB5\xD8\xD6\xB7=\xBF\xBC\n")
                               << QByteArray("\xBF\xBC\xCA\xD4") << QByteArray("\xB5\xD8\xD6\xB7")
                               << QByteArray("\xBF\xBC");
    QTest::newRow("trail bytes are not folded")
        << QByteArray("[\x81\x41]\nIP=10.0.0.1\n") << QByteArray("\x81\x61") << k
        << QByteArray("127.0.0.1");
    QTest::newRow("zero byte: binary")
        << QByteArray("[Server]\nIP=10.0.0.1\n\0\x01\x02", 23) << s << k << QByteArray("127.0.0.1");
    QTest::newRow("random binary")
        << QByteArray::fromHex("7f454c4602010100000000000000000003003e00") << s << k
        << QByteArray("127.0.0.1");
}

void ConfigFileTest::profileRules() {
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    writeConfig(contents);
    const Text value =
        exam::readConfigValue(Text("config.ini"), text(section), text(key), Text("127.0.0.1"));
    QCOMPARE(bytes(value), expected);
}

void ConfigFileTest::emptyNamesGiveEmptyTextWithoutReading_data() {
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty file name")
        << QByteArray() << QByteArray("Server") << QByteArray("IP") << QByteArray();
    QTest::newRow("blank file name")
        << QByteArray(" \t") << QByteArray("Server") << QByteArray("IP") << QByteArray();
    QTest::newRow("empty section")
        << QByteArray("config.ini") << QByteArray() << QByteArray("IP") << QByteArray();
    QTest::newRow("control bytes as section")
        << QByteArray("config.ini") << QByteArray("\x01\x1f ") << QByteArray("IP") << QByteArray();
    QTest::newRow("empty key") << QByteArray("config.ini") << QByteArray("Server") << QByteArray()
                               << QByteArray();
    QTest::newRow("blank key") << QByteArray("config.ini") << QByteArray("Server")
                               << QByteArray("  ") << QByteArray();
    QTest::newRow("leading blanks are dropped")
        << QByteArray("  config.ini") << QByteArray("\tServer") << QByteArray("\r\nIP")
        << QByteArray("10.0.0.1");
    QTest::newRow("missing file still reads the default")
        << QByteArray("other.ini") << QByteArray("Server") << QByteArray("IP")
        << QByteArray("127.0.0.1");
}

void ConfigFileTest::emptyNamesGiveEmptyTextWithoutReading() {
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    writeConfig("[Server]\nIP=10.0.0.1\n");
    QCOMPARE(
        bytes(exam::readConfigValue(text(fileName), text(section), text(key), Text("127.0.0.1"))),
        expected);
}

void ConfigFileTest::longValuesAreCut_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray limit(10239, 'a');
    QTest::newRow("at the limit") << limit << limit;
    QTest::newRow("one over") << limit + "b" << limit;
    QTest::newRow("far over") << QByteArray(50000, 'x') << QByteArray(10239, 'x');
    QTest::newRow("quotes first, then the cut") << "\"" + limit + "zz\"" << limit;
    const QByteArray pairs = QByteArray("\xBF\xBC").repeated(6000);
    QTest::newRow("ends on a whole character") << "a" + pairs << "a" + pairs.left(10238);
    QTest::newRow("never half a character") << "ab" + pairs << "ab" + pairs.left(10236);
}

void ConfigFileTest::longValuesAreCut() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);
    writeConfig("[Server]\r\nIP=" + value + "\r\nNext=1\r\n");
    const Text read = readIp();
    QCOMPARE(read.size(), static_cast<std::size_t>(expected.size()));
    QCOMPARE(bytes(read), expected);
}

void ConfigFileTest::missingFileGivesDefaultEvenNextToTheProgram() {
    // A config.ini in the current directory and beside the test program must not be read.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QFile here(elsewhere.filePath("config.ini"));
    QVERIFY(here.open(QIODevice::WriteOnly));
    here.write("[Server]\nIP=10.9.9.9\n");
    here.close();
    QFile besideProgram(QCoreApplication::applicationDirPath() + "/config.ini");
    QVERIFY(besideProgram.open(QIODevice::WriteOnly));
    besideProgram.write("[Server]\nIP=10.8.8.8\n");
    besideProgram.close();

    const Text value = readIp();
    besideProgram.remove();
    QDir::setCurrent(previous);
    QCOMPARE(bytes(value), QByteArray("127.0.0.1"));
    QCOMPARE(bytes(readIp("server.example")), QByteArray("server.example"));
}

void ConfigFileTest::unreadableFilesGiveDefault_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("larger than a configuration file") << "huge";
    QTest::newRow("dangling link") << "link";
}

void ConfigFileTest::unreadableFilesGiveDefault() {
    QFETCH(QString, kind);
    const QByteArray path = QFile::encodeName(folder_->filePath("config.ini"));
    if (kind == "folder") {
        QVERIFY(QDir(folder_->path()).mkdir("config.ini"));
    } else if (kind == "fifo") {
        // Opening a pipe without a writer would block for ever: it must not even be opened.
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    } else if (kind == "huge") {
        QByteArray contents = "[Server]\nIP=10.0.0.1\n";
        contents += QByteArray(static_cast<int>(exam::ConfigFileLimit), '\n');
        writeConfig(contents);
    } else {
        QVERIFY(QFile::link(folder_->filePath("absent.ini"), folder_->filePath("config.ini")));
    }
    QCOMPARE(bytes(readIp()), QByteArray("127.0.0.1"));
}

void ConfigFileTest::nameWithFolderIsReadWhereItPoints() {
    QTemporaryDir other;
    QVERIFY(other.isValid());
    QFile file(other.filePath("exam.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Server]\nIP=10.0.0.42\n");
    file.close();
    const Text name(QFile::encodeName(other.filePath("exam.ini")).toStdString());
    QCOMPARE(bytes(exam::readConfigValue(name, Text("Server"), Text("IP"), Text("d"))),
             QByteArray("10.0.0.42"));
    // The same name without its folder is looked up in the configuration folder only.
    QCOMPARE(bytes(exam::readConfigValue(Text("exam.ini"), Text("Server"), Text("IP"), Text("d"))),
             QByteArray("d"));
}

void ConfigFileTest::folderIsFixedUnlessMovedByTheVariable() {
    QCOMPARE(QString::fromStdString(exam::configFolder()), folder_->path());
    qputenv(exam::ConfigFolderVariable, "");
    QCOMPARE(exam::configFolder(), std::string("/etc/examclient"));
    qunsetenv(exam::ConfigFolderVariable);
    QCOMPARE(exam::configFolder(), std::string("/etc/examclient"));
}

QTEST_GUILESS_MAIN(ConfigFileTest)
#include "ConfigFileTest.moc"
