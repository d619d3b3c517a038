// Range field masks, formats and limits by sensor type and unit, and the rewriting of range
// value texts into the channel's display form.
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "shell/module1.h"
#include "workbench/range_format.h"

#include <gtest/gtest.h>

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

class CodecRangeTable : public ::testing::Test {
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

TEST_F(CodecRangeTable, EverySetupCodeTheControllerCanHold) {
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

TEST_F(CodecRangeTable, OneCharacterCodeAndNonDigitUnit) {
    // A one-character code is type and unit at once: "6" is type 6 in BAR.
    run(QStringLiteral("6"), QString());
    EXPECT_EQ(vRangeMax, 430.9);
    EXPECT_EQ(sngSensorRangeHi, 430.9f);
    // A unit character that is no digit falls to the type's "any other" row.
    run(QStringLiteral("3x"), QString());
    EXPECT_EQ(vRangeMin, -125.0);
    EXPECT_EQ(vRangeMax, 625.0);
}

TEST_F(CodecRangeTable, TextsInAndOut) {
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

TEST_F(CodecRangeTable, ChannelLoadDefaults) {
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

TEST_F(CodecRangeTable, NothingChangesWithoutALoadedChannel) {
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
