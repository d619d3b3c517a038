// Fixed-width range value texts, reading field texts back, and display-format writing; every
// case runs under the C locale and under a locale whose decimal point is ",". Last, a hundred
// thousand random field texts read back as a technician reads them.
#include "codec/number_text.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>
#include <string>

using namespace codec;

namespace {

enum class TestLocale { C, German };

class CodecNumberText : public ::testing::TestWithParam<TestLocale> {
  protected:
    void SetUp() override {
        savedQtLocale = QLocale();
        savedCLocale = std::setlocale(LC_ALL, nullptr);
        if (GetParam() == TestLocale::German) {
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
            ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
            // The C library's locale too, where the machine has it.
            if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
                ASSERT_STREQ(std::localeconv()->decimal_point, ",");
            }
        }
    }
    void TearDown() override {
        QLocale::setDefault(savedQtLocale);
        std::setlocale(LC_ALL, savedCLocale.c_str());
    }

  private:
    QLocale savedQtLocale;
    std::string savedCLocale;
};

INSTANTIATE_TEST_SUITE_P(Locales, CodecNumberText,
                         ::testing::Values(TestLocale::C, TestLocale::German));

// Reads the text the way a technician would: the first "-" before any digit makes it
// negative, the digits in order, the point where the first "." stands among them.
double expectedReading(const QString& text) {
    QString digits;
    bool negative = false;
    qsizetype pointAfter = -1;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
        else if (c == QLatin1Char('-') && digits.isEmpty())
            negative = true;
        else if (c == QLatin1Char('.') && pointAfter < 0)
            pointAfter = digits.size();
    }
    if (digits.isEmpty())
        return 0.0;
    if (pointAfter >= 0 && pointAfter < digits.size())
        digits.insert(pointAfter, QLatin1Char('.'));
    if (digits.startsWith(QLatin1Char('.')))
        digits.prepend(QLatin1Char('0'));
    const double magnitude = QLocale::c().toDouble(digits);
    return negative ? -magnitude : magnitude;
}

double readNumber(const char* text) {
    QString argument = QString::fromLatin1(text);
    return TextToNumber(argument);
}

} // namespace

TEST_P(CodecNumberText, FixedTextOfTheRangeValuesAtWidthSix) {
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.0f, "+0000."},   {50.0f, "+0050."},   {4.309f, "+4.309"},   {0.5f, "+000.5"},
        {148.8f, "+148.8"}, {5000.0f, "+5000."}, {-12.5f, "-012.5"},   {-0.862f, "-0.862"},
        {-25.0f, "-0025."}, {-40.0f, "-0040."},  {-9999.0f, "-9999."}, {0.862f, "+0.862"},
        {-0.5f, "-000.5"},  {9999.0f, "+9999."}, {86.18f, "+86.18"},   {-1724.0f, "-1724."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToFixedText(c.value, 6), QLatin1String(c.text)) << c.value;
}

TEST_P(CodecNumberText, FixedTextSignsOverflowAndOtherWidths) {
    // Negative zero is zero and carries "+".
    EXPECT_EQ(NumberToFixedText(-0.0f, 6), QStringLiteral("+0000."));
    // Too long for the width: "%" and the text.
    EXPECT_EQ(NumberToFixedText(-12345.0f, 6), QStringLiteral("%-12345."));
    EXPECT_EQ(NumberToFixedText(123456.0f, 6), QStringLiteral("%123456."));
    EXPECT_EQ(NumberToFixedText(0.123456f, 6), QStringLiteral("%.123456"));
    // Non-negative text exactly as long as the width leaves no room for the "+".
    EXPECT_EQ(NumberToFixedText(12345.0f, 6), QStringLiteral("%12345."));
    EXPECT_EQ(NumberToFixedText(1.2345f, 6), QStringLiteral("%1.2345"));
    // Other widths.
    EXPECT_EQ(NumberToFixedText(4.309f, 8), QStringLiteral("+004.309"));
    EXPECT_EQ(NumberToFixedText(-7.0f, 3), QStringLiteral("-7."));
    EXPECT_EQ(NumberToFixedText(0.0f, 0), QStringLiteral("%0."));
    EXPECT_EQ(NumberToFixedText(0.0f, -1), QStringLiteral("%0."));
    // Never more than 7 significant digits: 3.1415927 is written 3.141593.
    EXPECT_EQ(NumberToFixedText(3.14159274f, 10), QStringLiteral("+03.141593"));
    EXPECT_EQ(NumberToFixedText(16777216.0f, 12), QStringLiteral("+0016777220."));
    EXPECT_EQ(NumberToFixedText(0.000125f, 10), QStringLiteral("+00.000125"));
    EXPECT_EQ(NumberToFixedText(std::nanf(""), 6), QStringLiteral("%NaN"));
    EXPECT_EQ(NumberToFixedText(-INFINITY, 6), QStringLiteral("%-Inf"));
}

TEST_P(CodecNumberText, ReadsNumbersOutOfFieldTexts) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"+4.309", 4.309}, {"-0.862", -0.862}, {" 50", 50},     {"-012.5", -12.5},
        {"+0050.", 50},    {"-.862", -0.862},  {"_4.3__", 4.3}, {"12-5", 125},
        {"1.2.3", 1.23},   {".", 0},           {"-1-2", -12},   {"+-3", -3},
        {"-+3", -3},       {"25.", 25},        {"4,5", 45},     {"__.___", 0},
        {"", 0},           {"-", 0},           {"-.", 0},       {".-", 0},
        {"abc", 0},        {"   ", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readNumber(c.text), c.value) << c.text;
}

TEST_P(CodecNumberText, MinusAfterALeadingPointIsStillTheSign) {
    EXPECT_EQ(readNumber(".-5"), -0.5);
    EXPECT_EQ(readNumber("_.-862"), -0.862);
    // A minus after a digit is skipped, also when a point came first.
    EXPECT_EQ(readNumber(".5-1"), 0.51);
    EXPECT_TRUE(std::signbit(readNumber("-0")));
}

TEST_P(CodecNumberText, ReadingTrimsTheArgumentAndRewritesALonePoint) {
    QString text = QStringLiteral("  +4.3_ ");
    EXPECT_EQ(TextToNumber(text), 4.3);
    EXPECT_EQ(text, QStringLiteral("+4.3_"));
    text = QStringLiteral(" . ");
    EXPECT_EQ(TextToNumber(text), 0.0);
    EXPECT_EQ(text, QStringLiteral("0."));
    text = QStringLiteral("\t7");
    EXPECT_EQ(TextToNumber(text), 7.0);
    EXPECT_EQ(text, QStringLiteral("\t7"));
}

TEST_P(CodecNumberText, HugeDigitRunsGiveInfinityOrZero) {
    const std::string huge = "-" + std::string(400, '9');
    EXPECT_EQ(readNumber(huge.c_str()), -INFINITY);
    const std::string tiny = "." + std::string(400, '0') + "1";
    EXPECT_EQ(readNumber(tiny.c_str()), 0.0);
    EXPECT_EQ(RoundToSingle(1e300), INFINITY);
    EXPECT_EQ(RoundToSingle(-1e300), -INFINITY);
    EXPECT_EQ(RoundToSingle(0.1), 0.1f);
}

TEST_P(CodecNumberText, DisplayFormatWriting) {
    const struct {
        double value;
        const char* format;
        const char* text;
    } cases[] = {
        {0.5, "0.000", "0.500"},      {4.5, "0.000", "4.500"},  {1.32, "0.000", "1.320"},
        {4.3, "00.00", "04.30"},      {50, "+000.0", "+050.0"}, {25, "-0000.", "-0025."},
        {0, "0.000", "0.000"},        {0, "0000.", "0000."},    {12345.6, "000.0", "12345.6"},
        {9.9996, "0.000", "10.000"},  {-1.25, "0.0", "-1.3"},   {-0.04, "0.0", "0.0"},
        {-0.0, "0.000", "0.000"},     {0.5, ".000", ".500"},    {2.6, "0", "3"},
        {INFINITY, "+0.000", "+Inf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatWithDisplayFormat(c.value, QLatin1String(c.format)), QLatin1String(c.text))
            << c.value << " " << c.format;
}

TEST_P(CodecNumberText, HalvesRoundAwayFromZeroAsTheDecimalTextReads) {
    // Each of these is a little below the half in binary; the decimal text is the half.
    EXPECT_EQ(FormatWithDisplayFormat(0.0625, "0.000"), QStringLiteral("0.063"));
    EXPECT_EQ(FormatWithDisplayFormat(1.005, "0.00"), QStringLiteral("1.01"));
    EXPECT_EQ(FormatWithDisplayFormat(2.0005, "0.000"), QStringLiteral("2.001"));
    EXPECT_EQ(FormatWithDisplayFormat(0.45, "0.0"), QStringLiteral("0.5"));
    EXPECT_EQ(FormatWithDisplayFormat(-2.5, "0."), QStringLiteral("-3."));
    EXPECT_EQ(FormatWithDisplayFormat(0.0004999, "0.000"), QStringLiteral("0.000"));
    // Single-precision values round from their own shortest text.
    EXPECT_EQ(FormatSingleWithDisplayFormat(148.8f, "000.0"), QStringLiteral("148.8"));
    EXPECT_EQ(FormatSingleWithDisplayFormat(1.0005f, "0.000"), QStringLiteral("1.001"));
    EXPECT_EQ(FormatSingleWithDisplayFormat(4.3f, "+00.00"), QStringLiteral("+04.30"));
}

TEST(CodecRandomValues, HundredThousandFieldTexts) {
    std::mt19937 random(20240611u);
    const QString alphabet =
        QStringLiteral("0123456789-.+ _,%&#aZ\t") + QChar(0x0663) + QChar(0x00F8);
    std::uniform_int_distribution<int> length(0, 16);
    std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
    for (int i = 0; i < 100000; ++i) {
        QString text;
        for (int n = length(random); n > 0; --n)
            text += alphabet.at(pick(random));
        QString argument = text;
        const double value = TextToNumber(argument);
        ASSERT_TRUE(std::isfinite(value)) << text.toStdString();
        ASSERT_EQ(value, expectedReading(text)) << text.toStdString();
        ASSERT_FALSE(argument.startsWith(QLatin1Char(' ')) || argument.endsWith(QLatin1Char(' ')))
            << text.toStdString();
    }
}
