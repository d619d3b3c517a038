// Random field texts and random range values: nothing breaks, widths hold, and every value
// comes back to the precision of its channel's display format.
#include "codec/number_text.h"
#include "codec/range_table.h"
#include "shell/module1.h"
#include "workbench/range_format.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace Module1;
using namespace codec;
using workbench::SetRangeFormat;

namespace {

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

} // namespace

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

TEST(CodecRandomValues, RangeValuesComeBackInTheirFormat) {
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
