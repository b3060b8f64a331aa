// Bounded fuzzing of the readers of outside bytes in the client core: message splitting and the
// configuration file. Any bytes must give a defined result, without a crash and without reading
// past the input (inputs sit in exact-size heap blocks, so the sanitizer build catches overreads).
#include <QtTest>

#include "FuzzInput.h"
#include "core/ConfigFile.h"
#include "core/MessageText.h"

using exam::FieldList;
using exam::Text;
using exam::fuzz::ExactBytes;
using exam::fuzz::Random;

namespace {

// Bytes that make separators, double-byte characters with trail bytes "f" and "g", and high
// bytes at the end likely. No zero byte: a received message is cut there before splitting.
constexpr std::string_view MessagePieces[] = {
    "fg", "f", "g", "F", "a", "1", "\xC4\x66", "\x81\x67", "\xC4\xEA", "\x80", "\xFF", "fgfg", ","};

std::string nonZero(std::string s) {
    for (char& c : s)
        if (c == '\0') c = 'z';
    return s;
}

std::string joined(const FieldList& fields, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += separator;
        out += fields[i].view();
    }
    return out;
}

constexpr std::string_view ConfigPieces[] = {
    "[Server]", "[ server ]", "[Other]",      "[",       "]", "IP", "ip", "=",        " ",
    "\t",       "\r\n",       "\n",           "\r",      ";", "\"", "'",  "10.0.0.1", "\xBF\xBC",
    "\x81",     "\x1A",       "\xEF\xBB\xBF", "\xFF\xFE"};

}  // namespace

class MessageTextFuzzTest : public QObject {
    Q_OBJECT
private slots:
    void splitFieldsOnAnyBytes();
    void configContentsOnAnyBytes();
    void configFilesOnAnyBytes();
};

void MessageTextFuzzTest::splitFieldsOnAnyBytes() {
    Random random(exam::fuzz::seed());
    for (int round = 0; round < exam::fuzz::rounds(100000); ++round) {
        const std::string text =
            nonZero(random.chance(20) ? random.bytes(40) : random.pieces(MessagePieces, 24));
        const std::string separator =
            random.chance(80) ? std::string("fg") : nonZero(random.pieces(MessagePieces, 2));
        const ExactBytes input(text);
        const ExactBytes sep(separator);
        const QByteArray label = QByteArray::fromStdString(text).toHex() + " / " +
                                 QByteArray::fromStdString(separator).toHex() + " seed " +
                                 QByteArray::number(qulonglong(exam::fuzz::seed()));

        const FieldList all = exam::splitFields(input.view(), sep.view());
        if (text.empty()) {
            QVERIFY2(all.empty(), label);
            continue;
        }
        if (separator.empty()) {
            QVERIFY2(all.size() == 1 && all[0].view() == text, label);
            continue;
        }
        // The fields and their separators rebuild the text; only a trailing separator is lost.
        const std::string rebuilt = joined(all, separator);
        QVERIFY2(text.starts_with(rebuilt), label);
        const std::string_view rest = std::string_view(text).substr(rebuilt.size());
        QVERIFY2(rest.empty() || rest == separator, label);
        QVERIFY2(!all.empty(), label);
        // A field holds no separator where a character starts.
        for (const Text& field : all) {
            if (field.empty()) continue;
            const FieldList again = exam::splitFields(field.view(), separator);
            QVERIFY2(again.size() == 1 && again[0] == field, label);
        }
        // A limit keeps the first fields and drops the rest.
        const int limit = random.below(6) - 1;
        const FieldList limited = exam::splitFields(input.view(), sep.view(), limit);
        const std::size_t keep = std::min(all.size(), static_cast<std::size_t>(std::max(limit, 0)));
        QVERIFY2(limited == FieldList(all.begin(), all.begin() + static_cast<long>(keep)), label);
    }
}

void MessageTextFuzzTest::configContentsOnAnyBytes() {
    Random random(exam::fuzz::seed());
    int tried = 0;
    int found = 0;
    for (int round = 0; round < exam::fuzz::rounds(20000); ++round) {
        std::string contents = random.pieces(ConfigPieces, 30);
        // Often a section and an assignment, so that most rounds reach the value rules.
        if (random.chance(60)) contents = "[Server]\r\n" + contents;
        if (random.chance(60)) contents += "\nIP=" + random.pieces(ConfigPieces, 8);
        if (random.chance(5))
            contents.insert(
                static_cast<std::size_t>(random.below(static_cast<int>(contents.size()) + 1)), 1,
                '\0');
        ++tried;
        const ExactBytes input(contents);
        const ExactBytes section(random.chance(80) ? "Server" : random.pieces(ConfigPieces, 2));
        const ExactBytes key(random.chance(80) ? "IP" : random.pieces(ConfigPieces, 2));
        const std::optional<Text> value =
            exam::findConfigValue(input.view(), section.view(), key.view());
        if (!value) continue;
        ++found;
        const QByteArray label = QByteArray::fromStdString(contents).toHex();
        QVERIFY2(value->size() <= exam::ConfigValueLimit, label);
        QVERIFY2(
            value->view().find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos,
            label);
        // Without a byte-order mark the value is a piece of the file as it stands.
        if (!contents.starts_with("\xEF\xBB\xBF") && !contents.starts_with("\xFF\xFE")) {
            QVERIFY2(contents.find(value->view()) != std::string::npos, label);
        }
    }
    QVERIFY2(found > tried / 10,
             qPrintable(QString("only %1 of %2 rounds reached a value").arg(found).arg(tried)));
}

// Through real files: what the file holds decides, and the default stands in for the rest.
void MessageTextFuzzTest::configFilesOnAnyBytes() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    qputenv(exam::ConfigFolderVariable, QFile::encodeName(folder.path()));
    Random random(exam::fuzz::seed() + 1);
    for (int round = 0; round < exam::fuzz::rounds(300); ++round) {
        std::string contents = random.pieces(ConfigPieces, 40);
        if (random.chance(10))
            contents += std::string(static_cast<std::size_t>(random.below(20000)), 'x');
        QFile file(folder.filePath("config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents.data(), static_cast<qint64>(contents.size()));
        file.close();
        const Text value = exam::readConfigValue(Text("config.ini"), Text("Server"), Text("IP"),
                                                 Text("127.0.0.1"));
        const std::optional<Text> expected = exam::findConfigValue(contents, "Server", "IP");
        QCOMPARE(value, expected.value_or(Text("127.0.0.1")));
    }
    qunsetenv(exam::ConfigFolderVariable);
}

QTEST_GUILESS_MAIN(MessageTextFuzzTest)
#include "MessageTextFuzzTest.moc"
