// Number texts of the range and voltage fields: the signed fixed-width text that every range
// value starts from, the lenient reading of a field's text back into a number, and the
// writing of a number under a display format such as "000.0" or "0.000".
// All texts use "." as the decimal point whatever the machine's regional settings.
#pragma once

#include <QString>
#include <QtGlobal>

namespace codec {

// Turns a single-precision value into a text of exactly `width` characters: a sign ("+" for
// zero and positive values, "-" for negative ones), zero padding, the digits and always a
// decimal point. The digits are the shortest text that reads back as the same single-precision
// value (at most 7 significant digits), without a zero before the point below 1.
// Examples at width 6: 0 -> "+0000.", 4.309 -> "+4.309", -0.862 -> "-0.862", -25 -> "-0025.".
// A value whose text does not fit gets the overflow form "%" followed by its text
// (-12345 at width 6 -> "%-12345.").
QString NumberToFixedText(float value, qint16 width);

// Reads a number out of a field's text that may hold a sign, prompt characters, blanks or other
// characters around and between the digits: it keeps a leading minus sign, the first decimal
// point and the digits, and skips everything else ("+0050." -> 50, "_4.3__" -> 4.3,
// "12-5" -> 125, "1.2.3" -> 1.23). On return `text` holds the text with its surrounding blanks
// removed, and "0." in place of a lone ".".
double TextToNumber(QString& text);

// Rounds a double to single precision, the way the range values are stored. A value beyond the
// single-precision range becomes an infinity of the same sign.
float RoundToSingle(double value);

// Writes a number under a display format: "0" is a digit position that is always written, "."
// the decimal point, other characters before or after the digits are written literally (the
// "+" or "-" of a signed range format). The text has at least as many integer digits as the
// format has "0"s before its point (more when the number needs them), exactly as many decimals
// as it has "0"s after its point, rounded half away from zero, and "." where the format has it,
// also when no decimals follow ("0000." gives "0025."). The rounding works on the shortest
// decimal text of the value, so 0.0625 under "0.000" gives "0.063" as a person would round it.
// A negative value that does not round to zero gets "-" in front of the whole text.
// Examples: 0.5 under "0.000" -> "0.500", 4.3 under "00.00" -> "04.30", 50 under "+000.0"
// -> "+050.0".
QString FormatWithDisplayFormat(double value, const QString& format);

// The same for a single-precision value, rounded from the value's own shortest decimal text
// (148.8 stored in single precision gives "148.8" under "000.0", not the digits of its binary
// expansion 148.800003...).
QString FormatSingleWithDisplayFormat(float value, const QString& format);

} // namespace codec
