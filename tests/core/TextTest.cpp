// The text value and the GBK conversion at its edges.
#include <QtTest>

#include "core/Text.h"

using exam::Text;

class TextTest : public QObject {
    Q_OBJECT
private slots:
    void literalsAreGbkBytes_data();
    void literalsAreGbkBytes();
    void textStopsAtTheFirstZeroByte();
    void roundTripsThroughUtf8();
    void unconvertibleCharactersBecomeQuestionMarks();
    void invalidGbkBecomesReplacementCharacters();
    void oneEmptyText();
};

void TextTest::literalsAreGbkBytes_data() {
    QTest::addColumn<QByteArray>("converted");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("年") << QByteArray::fromStdString(GBK("年").bytes()) << QByteArray("\xC4\xEA");
    QTest::newRow("月日") << QByteArray::fromStdString(GBK("月日").bytes())
                          << QByteArray("\xD4\xC2\xC8\xD5");
    QTest::newRow("时分秒") << QByteArray::fromStdString(GBK("时分秒").bytes())
                            << QByteArray("\xCA\xB1\xB7\xD6\xC3\xEB");
    QTest::newRow("ascii") << QByteArray::fromStdString(GBK("idfg").bytes()) << QByteArray("idfg");
    QTest::newRow("full-width two") << QByteArray::fromStdString(GBK("２").bytes())
                                    << QByteArray("\xA3\xB2");
    QTest::newRow("ideographic space") << QByteArray::fromStdString(GBK("　").bytes())
                                       << QByteArray("\xA1\xA1");
}

void TextTest::literalsAreGbkBytes() {
    QFETCH(QByteArray, converted);
    QFETCH(QByteArray, expected);
    QCOMPARE(converted.toHex(' '), expected.toHex(' '));
}

void TextTest::textStopsAtTheFirstZeroByte() {
    QCOMPARE(Text(std::string_view("A\0B", 3)).bytes(), std::string("A"));
    QVERIFY(Text(std::string_view("\0B", 2)).empty());
    QCOMPARE(Text::fromUtf8(std::string_view("x\0y", 3)).bytes(), std::string("x"));
}

void TextTest::roundTripsThroughUtf8() {
    const std::string utf8 = "考试系统 exam 2024年6月1日";
    QCOMPARE(Text::fromUtf8(utf8).toUtf8(), utf8);
}

void TextTest::unconvertibleCharactersBecomeQuestionMarks() {
    // An emoji has no GBK form; a lone continuation byte is invalid UTF-8.
    QCOMPARE(Text::fromUtf8("a\xF0\x9F\x98\x80" "b").bytes(), std::string("a?b"));
    QCOMPARE(Text::fromUtf8("a\x80" "b").bytes(), std::string("a?b"));
}

void TextTest::invalidGbkBecomesReplacementCharacters() {
    // A lead byte at the end of the text has no trail byte.
    QCOMPARE(Text(std::string_view("ab\xC4")).toUtf8(), std::string("ab\xEF\xBF\xBD"));
    QCOMPARE(Text(std::string_view("\xFF" "a")).toUtf8(), std::string("\xEF\xBF\xBD" "a"));
}

void TextTest::oneEmptyText() {
    QCOMPARE(Text(), Text(""));
    QCOMPARE(Text(static_cast<const char*>(nullptr)), Text());
    QCOMPARE(Text().c_str(), std::string(""));
    QCOMPARE(Text::fromUtf8("").size(), std::size_t(0));
}

QTEST_APPLESS_MAIN(TextTest)
#include "TextTest.moc"
