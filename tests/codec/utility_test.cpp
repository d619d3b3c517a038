// Setup word binary texts, byte replacement and bytes written as one line of text.
#include "codec/escaped_bytes.h"
#include "codec/utility.h"

#include <gtest/gtest.h>

#include <limits>

using namespace codec;

TEST(CodecBinaryText, SetupWordBits) {
    EXPECT_EQ(Num2Bin(1), QStringLiteral("0000000000000001"));
    EXPECT_EQ(Num2Bin(4608), QStringLiteral("0001001000000000"));
    EXPECT_EQ(Num2Bin(0), QString(16, QLatin1Char('0')));
    EXPECT_EQ(Num2Bin(65535), QString(16, QLatin1Char('1')));
    // Beyond 16 bits: what a 16-bit register would hold.
    EXPECT_EQ(Num2Bin(65536), QString(16, QLatin1Char('0')));
    EXPECT_EQ(Num2Bin(65536 + 0x9002), QStringLiteral("1001000000000010"));
    EXPECT_EQ(Num2Bin(-1), QString(16, QLatin1Char('1')));
    EXPECT_EQ(Num2Bin(-2), QStringLiteral("1111111111111110"));
    EXPECT_EQ(Num2Bin(std::numeric_limits<qint64>::min()), QString(16, QLatin1Char('0')));

    EXPECT_EQ(Bin2Num(QStringLiteral("0100")), 4);
    EXPECT_EQ(Bin2Num(QStringLiteral("1111")), 15);
    EXPECT_EQ(Bin2Num(QStringLiteral("1001")), 9);
    EXPECT_EQ(Bin2Num(QString()), 0);
    EXPECT_EQ(Bin2Num(QStringLiteral("1x1")), 5);
    EXPECT_EQ(Bin2Num(QStringLiteral(" 1 ")), 2);
    EXPECT_EQ(Bin2Num(QStringLiteral("1") + QString(32, QLatin1Char('0'))), 0);
    EXPECT_EQ(Bin2Num(QStringLiteral("1") + QString(31, QLatin1Char('0'))),
              std::numeric_limits<int>::min());
    for (int word = 0; word <= 65535; ++word)
        ASSERT_EQ(Bin2Num(Num2Bin(word)), word);
}

TEST(CodecBinaryText, ReplaceCharCoversTheWholeLength) {
    QByteArray reply("+12\0\0.5\0x", 9);
    ReplaceChar(reply, '\0', ' ');
    EXPECT_EQ(reply, QByteArray("+12  .5 x"));
    QByteArray degrees("72\xF8"
                       "F\xF8",
                       5);
    ReplaceChar(degrees, '\xF8', '*');
    EXPECT_EQ(degrees, QByteArray("72*F*"));
    QByteArray untouched("abc");
    ReplaceChar(untouched, 'z', 'y');
    EXPECT_EQ(untouched, QByteArray("abc"));
    QByteArray toNul("a b");
    ReplaceChar(toNul, ' ', '\0');
    EXPECT_EQ(toNul, QByteArray("a\0b", 3));
}

TEST(CodecEscapedBytes, EveryByteReadsBackFromOneLine) {
    struct Row {
        QByteArray bytes;
        char alsoEscaped;
        QString text;
    };
    const Row rows[] = {
        {QByteArray(">(00T ON)\r\n"), '\0', QStringLiteral(">(00T ON)\\r\\n")},
        {QByteArray("a\\b"), '\0', QStringLiteral("a\\\\b")},
        {QByteArray("\0\x1f\x7f\x80\xff", 5), '\0', QStringLiteral("\\x00\\x1f\\x7f\\x80\\xff")},
        {QByteArray("OK|\r"), '|', QStringLiteral("OK\\x7c\\r")},
        {QByteArray("OK|\r"), '\0', QStringLiteral("OK|\\r")},
        {QByteArray(), '|', QString()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.toHex().toStdString());
        EXPECT_EQ(codec::EscapedBytes(row.bytes, row.alsoEscaped), row.text);
    }
}
