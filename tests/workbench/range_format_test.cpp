// Range field masks, formats and limits by sensor type and unit, and the rewriting of range
// value texts into the channel's display form (the workbench's SetRangeFormat over the range
// table); last, random range values of every row come back in their format.
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "shell/module1.h"
#include "workbench/range_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace Module1;
using namespace codec;
using workbench::SetRangeFormat;

namespace {

struct Row {
    const char* mask;
    const char* format;
    double rangeMin;
    double rangeMax;
};

// The calibration documentation's table, per type: BAR ("6"), Hg. ("5"), KPa ("3"), any other.
const Row kPressure[7][4] = {
    {{"#.###", "0.000", -0.862, 4.309},
     {"###.#", "000.0", -25.5, 127.3},
     {"###.#", "000.0", -86.2, 430.9},
     {"###.#", "000.0", -12.5, 62.5}},
    {{"#.###", "0.000", -1.724, 8.618},
     {"###.#", "000.0", -50.9, 254.5},
     {"###.#", "000.0", -172.4, 861.8},
     {"###.#", "000.0", -25, 125}},
    {{"##.##", "00.00", -5.17, 25.86},
     {"###.#", "000.0", -152.7, 763.5},
     {"####.", "0000.", -517, 2586},
     {"###.#", "000.0", -75, 375}},
    {{"##.##", "00.00", -8.62, 43.09},
     {"####.", "0000.", -255, 1273},
     {"####.", "0000.", -862, 4309},
     {"###.#", "000.0", -125, 625}},
    {{"##.##", "00.00", -17.24, 86.18},
     {"####.", "0000.", -509, 2545},
     {"####.", "0000.", -1724, 8618},
     {"####.", "0000.", -250, 1250}},
    {{"###.#", "000.0", -34.5, 172},
     {"####.", "0000.", -1018, 5090},
     {"####.", "0000.", -3447, 9999},
     {"####.", "0000.", -500, 2500}},
    {{"###.#", "000.0", -86.2, 430.9},
     {"####.", "0000.", -2545, 9999},
     {"####.", "0000.", -8618, 9999},
     {"####.", "0000.", -1250, 6250}},
};
const Row kNone = {"###.#", "000.0", -25, 125};
// Temperature types 8 and 9: Celsius ("1"), any other.
const Row kTemperature[2][2] = {
    {{"####.", "0000.", -29, 160}, {"####.", "0000.", -20, 320}},
    {{"####.", "0000.", -97, 357}, {"####.", "0000.", -143, 675}},
};

const Row& expectedRow(char type, char unit) {
    if (type == '7')
        return kNone;
    if (type == '8' || type == '9')
        return kTemperature[type - '8'][unit == '1' ? 0 : 1];
    const int column = unit == '6' ? 0 : unit == '5' ? 1 : unit == '3' ? 2 : 3;
    return kPressure[type - '0'][column];
}

constexpr float kUntouched = -777.0f;

// Setup codes that reach all 33 rows of the range table.
const char* const kRowCodes[] = {"06", "05", "03", "00", "16", "15", "13", "12", "26", "25", "23",
                                 "24", "36", "35", "33", "38", "46", "45", "43", "40", "56", "55",
                                 "53", "51", "66", "65", "63", "67", "77", "81", "80", "91", "92"};

int decimalsOf(const QString& format) {
    const qsizetype point = format.indexOf(QLatin1Char('.'));
    return int(format.size() - point - 1);
}

int integerDigitsOf(const QString& format) {
    return int(format.indexOf(QLatin1Char('.')));
}

// The display text of count / 10^decimals, built from the whole number alone.
QString expectedText(qint64 count, int integerDigits, int decimals) {
    const QString digits = QString::number(std::llabs(count))
                               .rightJustified(integerDigits + decimals, QLatin1Char('0'));
    return (count < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           digits.left(digits.size() - decimals) + QLatin1Char('.') + digits.right(decimals);
}

class RangeFormatTable : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSharedState();
        vChannelIndex = 20;
    }
    void TearDown() override { ResetSharedState(); }

    // Runs the table for a setup code with the given value text; returns the text out.
    QString run(const QString& setupCode, const QString& valueText) {
        sChannelSetup[4][1] = setupCode;
        sValueText = valueText;
        SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
        return sValueText;
    }
};

} // namespace

TEST_F(RangeFormatTable, EverySetupCodeTheControllerCanHold) {
    // Types and units 0 to 15 give codes of two to four characters ("102" is type 10, unit 2);
    // the first character picks the type, the last one the unit.
    for (int type = 0; type <= 15; ++type) {
        for (int unit = 0; unit <= 15; ++unit) {
            const QString code = QString::number(type) + QString::number(unit);
            const char typeDigit = char(code.front().unicode());
            const char unitDigit = char(code.back().unicode());
            const std::string label = code.toStdString();
            sngSensorRangeHi = kUntouched;
            EXPECT_EQ(run(code, QString()), QString()) << label;
            const Row& row = expectedRow(typeDigit, unitDigit);
            EXPECT_EQ(vEntryMask, QLatin1String(row.mask)) << label;
            EXPECT_EQ(vDisplayFormat, QLatin1String(row.format)) << label;
            EXPECT_EQ(vRangeMin, row.rangeMin) << label;
            EXPECT_EQ(vRangeMax, row.rangeMax) << label;
            const bool bar = typeDigit <= '6' && unitDigit == '6';
            EXPECT_EQ(sngSensorRangeHi, bar ? float(row.rangeMax) : kUntouched) << label;
        }
    }
}

TEST_F(RangeFormatTable, OneCharacterCodeAndNonDigitUnit) {
    // A one-character code is type and unit at once: "6" is type 6 in BAR.
    run(QStringLiteral("6"), QString());
    EXPECT_EQ(vRangeMax, 430.9);
    EXPECT_EQ(sngSensorRangeHi, 430.9f);
    // A unit character that is no digit falls to the type's "any other" row.
    run(QStringLiteral("3x"), QString());
    EXPECT_EQ(vRangeMin, -125.0);
    EXPECT_EQ(vRangeMax, 625.0);
}

TEST_F(RangeFormatTable, TextsInAndOut) {
    const struct {
        const char* code;
        const char* in;
        const char* out;
        const char* mask;
        const char* format;
    } cases[] = {
        {"02", "+0050.", "+050.0", "&###.#", "+000.0"},
        {"02", "-012.5", "-012.5", "&###.#", "-000.0"},
        {"06", "+4.309", "+4.309", "&#.###", "+0.000"},
        {"06", "+0000.", "+0.000", "&#.###", "+0.000"},
        {"06", "-0.862", "-0.862", "&#.###", "-0.000"},
        {"26", "+004.3", "+04.30", "&##.##", "+00.00"},
        {"23", "+2500.", "+2500.", "&####.", "+0000."},
        {"23", "-0025.", "-0025.", "&####.", "-0000."},
        {"23", "", "", "####.", "0000."},
        {"02", "+000.0", "+000.0", "&###.#", "+000.0"},
        {"26", "+0000.", "+00.00", "&##.##", "+00.00"},
        {"90", "-0040.", "-0040.", "&####.", "-0000."},
        {"90", "+0572.", "+0572.", "&####.", "+0000."},
        {"81", "+148.8", "+0149.", "&####.", "+0000."},
        {"06", "+000.5", "+0.500", "&#.###", "+0.000"},
        {"02", "-0.862", "-000.9", "&###.#", "-000.0"},
        // No sign: mask and format stay unsigned, so the point is looked for one place earlier.
        {"02", "50.25", "050.3", "###.#", "000.0"},
        {"02", "050.25", "050.25", "###.#", "000.0"},
        // The text is left alone, unread, when its point already stands where the mask has it.
        {"02", "+zzz.z", "+zzz.z", "&###.#", "+000.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(QLatin1String(c.code), QLatin1String(c.in)), QLatin1String(c.out)) << c.in;
        EXPECT_EQ(vEntryMask, QLatin1String(c.mask)) << c.in;
        EXPECT_EQ(vDisplayFormat, QLatin1String(c.format)) << c.in;
    }
}

TEST_F(RangeFormatTable, ChannelLoadDefaults) {
    // Low and high defaults as the channel load passes them: empty call, then the fixed text.
    const struct {
        const char* code;
        float value;
        const char* shown;
    } cases[] = {
        {"02", 0.0f, "+000.0"},   {"02", 50.0f, "+050.0"},  {"06", 0.0f, "+0.000"},
        {"06", 4.309f, "+4.309"}, {"23", 0.0f, "+0000."},   {"23", 300.0f, "+0300."},
        {"90", -40.0f, "-0040."}, {"90", 572.0f, "+0572."}, {"56", 172.0f, "+172.0"},
        {"81", -15.0f, "-0015."}, {"36", 43.09f, "+43.09"}, {"16", -1.724f, "-1.724"},
    };
    for (const auto& c : cases) {
        run(QLatin1String(c.code), QString());
        EXPECT_EQ(run(QLatin1String(c.code), NumberToFixedText(c.value, 6)), QLatin1String(c.shown))
            << c.code << " " << c.value;
    }
}

TEST_F(RangeFormatTable, NothingChangesWithoutALoadedChannel) {
    const auto expectUntouched = [this](const char* what) {
        vEntryMask = QStringLiteral("#.###");
        vDisplayFormat = QStringLiteral("0.000");
        vRangeMin = 1.5;
        vRangeMax = 2.5;
        sngSensorRangeHi = kUntouched;
        sValueText = QStringLiteral("+0050.");
        SetRangeFormat(vEntryMask, vDisplayFormat, sValueText);
        EXPECT_EQ(vEntryMask, QStringLiteral("#.###")) << what;
        EXPECT_EQ(vDisplayFormat, QStringLiteral("0.000")) << what;
        EXPECT_EQ(vRangeMin, 1.5) << what;
        EXPECT_EQ(vRangeMax, 2.5) << what;
        EXPECT_EQ(sngSensorRangeHi, kUntouched) << what;
        EXPECT_EQ(sValueText, QStringLiteral("+0050.")) << what;
    };
    sChannelSetup[4][1] = QStringLiteral("06");
    vChannelIndex.reset();
    expectUntouched("no channel");
    vChannelIndex = 15;
    expectUntouched("index 15");
    vChannelIndex = 30;
    expectUntouched("index 30");
    vChannelIndex = 20;
    sChannelSetup[4][1] = QString();
    expectUntouched("empty code");
    sChannelSetup[4][1] = QStringLiteral("A6");
    expectUntouched("type not a digit");
}

TEST(RangeFormatRandomValues, ComeBackInTheirFormat) {
    ResetSharedState();
    vChannelIndex = 29;
    std::mt19937 random(77031u);
    int fitting = 0;
    for (const char* code : kRowCodes) {
        sChannelSetup[13][1] = QLatin1String(code);
        QString empty;
        SetRangeFormat(vEntryMask, vDisplayFormat, empty);
        const QString format = vDisplayFormat;
        const int decimals = decimalsOf(format);
        const double scale = std::pow(10.0, decimals);
        const double low = vRangeMin;
        const double high = vRangeMax;
        std::uniform_int_distribution<qint64> counts(std::llround(low * scale),
                                                     std::llround(high * scale));
        std::uniform_real_distribution<double> anywhere(low, high);
        // 0 to 3 decimals, or 4 for a value with all the digits a single holds.
        std::uniform_int_distribution<int> precision(0, 4);
        for (int i = 0; i < 3000; ++i) {
            // A value as it is typed through the mask: whole units of the last digit.
            const qint64 count = counts(random);
            const float typed = RoundToSingle(double(count) / scale);
            QString text = NumberToFixedText(typed, 6);
            ASSERT_EQ(text.size(), 6) << code << " " << typed;
            SetRangeFormat(vEntryMask, vDisplayFormat, text);
            ASSERT_EQ(text, expectedText(count, integerDigitsOf(format), decimals))
                << code << " " << typed;
            ASSERT_EQ(RoundToSingle(TextToNumber(text)), typed) << code;

            // Any single-precision value of the range: the fixed text, with or without the
            // "%" of a text too long for the width, is the value to 7 significant digits, and
            // the channel's text is that value to the format's last digit.
            const int places = precision(random);
            const double drawn = anywhere(random);
            const float value = RoundToSingle(
                places > 3 ? drawn
                           : std::round(drawn * std::pow(10.0, places)) / std::pow(10.0, places));
            QString fixed = NumberToFixedText(value, 6);
            QString digits = fixed.startsWith(QLatin1Char('%')) ? fixed.mid(1) : fixed;
            ASSERT_LE(std::fabs(TextToNumber(digits) - double(value)),
                      std::fabs(double(value)) * 5e-7)
                << code << " " << fixed.toStdString();
            if (fixed.startsWith(QLatin1Char('%')))
                continue;
            ++fitting;
            ASSERT_EQ(fixed.size(), 6) << code << " " << value;
            SetRangeFormat(vEntryMask, vDisplayFormat, fixed);
            ASSERT_EQ(fixed.size(), 6) << code << " " << value;
            ASSERT_EQ(fixed.indexOf(QLatin1Char('.')), vEntryMask.indexOf(QLatin1Char('.')));
            const double shown = TextToNumber(fixed);
            ASSERT_LE(std::fabs(shown - double(value)),
                      0.5 / scale + std::fabs(double(value)) * 5e-7)
                << code << " " << value;
        }
    }
    // Most values with few decimals fit the width, so the rewriting above really ran.
    EXPECT_GT(fitting, 33 * 3000 / 4);
    ResetSharedState();
}
