#include "codec/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace codec {

namespace {

// The plain number text keeps at most this many significant digits, as the classic
// single-precision number text does.
constexpr int kSingleSignificantDigits = 7;

// Large enough for the fixed-point text of any finite double, the smallest subnormal included.
using NumberBuffer = std::array<char, 400>;

template <typename T> std::string shortestFixedText(T magnitude) {
    NumberBuffer buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::fixed);
    return std::string(buffer.data(), result.ptr);
}

int significantDigitCount(const std::string& text) {
    std::string digits;
    for (const char c : text) {
        if (c != '.')
            digits += c;
    }
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    const auto last = digits.find_last_not_of('0');
    return int(last - first + 1);
}

// Drops trailing zeros after the point, and the point itself when nothing follows it.
void trimFraction(std::string& text) {
    if (text.find('.') == std::string::npos)
        return;
    while (!text.empty() && text.back() == '0')
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
}

// The magnitude rounded to 7 significant digits, written in fixed-point notation.
std::string sevenDigitFixedText(float magnitude) {
    NumberBuffer buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), double(magnitude),
                      std::chars_format::scientific, kSingleSignificantDigits - 1);
    const std::string scientific(buffer.data(), result.ptr);
    const auto e = scientific.find('e');
    std::string digits;
    for (std::size_t i = 0; i < e; ++i) {
        if (scientific[i] != '.')
            digits += scientific[i];
    }
    int exponent = 0;
    const char* exponentBegin = scientific.data() + e + 1;
    if (*exponentBegin == '+')
        ++exponentBegin;
    std::from_chars(exponentBegin, scientific.data() + scientific.size(), exponent);

    std::string text;
    const int integerDigits = exponent + 1;
    if (integerDigits <= 0) {
        text = "0." + std::string(std::size_t(-integerDigits), '0') + digits;
    } else if (integerDigits >= int(digits.size())) {
        text = digits + std::string(std::size_t(integerDigits - int(digits.size())), '0');
    } else {
        text = digits.substr(0, std::size_t(integerDigits)) + "." +
               digits.substr(std::size_t(integerDigits));
    }
    trimFraction(text);
    return text;
}

// Plain number text of a finite, non-negative single-precision value: the shortest text that
// reads back as the same value, limited to 7 significant digits (a value that needs more is
// rounded to 7), no zero before the point below 1, no point for whole numbers.
std::string plainSingleText(float magnitude) {
    std::string text = shortestFixedText(magnitude);
    if (significantDigitCount(text) > kSingleSignificantDigits)
        text = sevenDigitFixedText(magnitude);
    if (text.size() > 1 && text[0] == '0' && text[1] == '.')
        text.erase(0, 1);
    return text;
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// Converts the collected characters of a field text to a number. The collected text holds at
// most one "-" (always before the first digit), at most one "." and the digits.
double collectedToNumber(const std::string& collected) {
    bool negative = false;
    bool anyDigit = false;
    std::string body;
    for (const char c : collected) {
        if (c == '-') {
            // A minus sign taken after a leading point (".-5") is the sign of the number all
            // the same: ".-5" reads as -0.5.
            negative = true;
        } else {
            anyDigit = anyDigit || c != '.';
            body += c;
        }
    }
    // Nothing to read ("", "-", "-.", ".-", or a field holding only prompt characters): the
    // callers have no handling for an unreadable text, so it counts as 0.
    if (!anyDigit)
        return 0.0;
    double value = 0.0;
    const auto result =
        std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Far more digits than a double holds: a nonzero digit before the point means the
        // number is too large (it becomes infinite), otherwise it is too small (it becomes 0).
        const auto point = body.find('.');
        const std::string integerPart = body.substr(0, point);
        const bool large = integerPart.find_first_not_of('0') != std::string::npos;
        value = large ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

// Layout of a display format: literal text before and after, integer digit positions, whether
// a point is written and how many decimals follow it.
struct DisplayFormat {
    QString prefix;
    QString suffix;
    int integerDigits = 0;
    int decimals = 0;
    bool point = false;
};

DisplayFormat parseDisplayFormat(const QString& format) {
    DisplayFormat layout;
    qsizetype i = 0;
    while (i < format.size() && format.at(i) != QLatin1Char('0') &&
           format.at(i) != QLatin1Char('.'))
        layout.prefix += format.at(i++);
    for (; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('0')) {
            if (layout.point)
                ++layout.decimals;
            else
                ++layout.integerDigits;
        } else if (c == QLatin1Char('.') && !layout.point) {
            layout.point = true;
        } else {
            break;
        }
    }
    layout.suffix = format.mid(i);
    return layout;
}

// Writes a magnitude given as its exact decimal text ("148.8", "0.0625", "25") under a format,
// rounding half away from zero on the decimal digits themselves.
QString formatDecimalText(const std::string& decimalText, bool negative, const QString& format) {
    const DisplayFormat layout = parseDisplayFormat(format);
    const auto pointAt = decimalText.find('.');
    std::string integerPart = decimalText.substr(0, pointAt);
    std::string fraction =
        pointAt == std::string::npos ? std::string() : decimalText.substr(pointAt + 1);

    const std::size_t decimals = std::size_t(layout.decimals);
    const bool roundUp = fraction.size() > decimals && fraction[decimals] >= '5';
    fraction.resize(decimals, '0');
    std::string digits = integerPart + fraction;
    if (roundUp) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[i - 1];
    }
    integerPart = digits.substr(0, digits.size() - decimals);
    fraction = digits.substr(digits.size() - decimals);

    const auto firstNonZero = integerPart.find_first_not_of('0');
    integerPart =
        firstNonZero == std::string::npos ? std::string() : integerPart.substr(firstNonZero);
    if (int(integerPart.size()) < layout.integerDigits)
        integerPart.insert(0, std::size_t(layout.integerDigits) - integerPart.size(), '0');

    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    QString text;
    if (negative && !zero)
        text += QLatin1Char('-');
    text += layout.prefix;
    text += QString::fromLatin1(integerPart.data(), qsizetype(integerPart.size()));
    if (layout.point)
        text += QLatin1Char('.');
    text += QString::fromLatin1(fraction.data(), qsizetype(fraction.size()));
    text += layout.suffix;
    return text;
}

// Infinite and undefined values have no digits; they are written as a word in the place of
// the digits so that a caller never gets an empty or misleading number.
QString formatNonFinite(double value, const QString& format) {
    const DisplayFormat layout = parseDisplayFormat(format);
    const QString word = std::isnan(value) ? QStringLiteral("NaN")
                         : value < 0       ? QStringLiteral("-Inf")
                                           : QStringLiteral("Inf");
    return layout.prefix + word + layout.suffix;
}

} // namespace

QString NumberToFixedText(float value, qint16 width) {
    // A value without a fixed-point text (infinite or undefined) never fits: it gets the
    // overflow form.
    if (!std::isfinite(value)) {
        return QStringLiteral("%") + (std::isnan(value) ? QStringLiteral("NaN")
                                      : value < 0       ? QStringLiteral("-Inf")
                                                        : QStringLiteral("Inf"));
    }
    // Zero, negative zero included, counts as not negative.
    const bool negative = value < 0.0f;
    const std::string plain = plainSingleText(std::fabs(value));
    QString s = QString::fromLatin1(plain.data(), qsizetype(plain.size()));
    if (negative)
        s.prepend(QLatin1Char('-'));
    if (!s.contains(QLatin1Char('.')))
        s += QLatin1Char('.');
    if (s.size() > width)
        return QLatin1Char('%') + s;
    // A non-negative value whose text fills the width exactly leaves no room for the "+" (it
    // would overwrite the first digit): such a text does not fit and gets the overflow form,
    // for example 12345 at width 6 gives "%12345.".
    if (!negative && s.size() == width)
        return QLatin1Char('%') + s;
    if (negative)
        s.remove(0, 1);
    const qsizetype padding = width - s.size() - (negative ? 1 : 0);
    QString result =
        (negative ? QStringLiteral("-") : QString()) + QString(padding, QLatin1Char('0')) + s;
    if (!negative)
        result[0] = QLatin1Char('+');
    return result;
}

double TextToNumber(QString& text) {
    // Only blanks are removed here; any other character around the digits is skipped below.
    text = trimBlanks(text);
    if (text == QLatin1String("."))
        text = QStringLiteral("0.");

    bool minusAllowed = true;
    bool pointAllowed = true;
    std::string collected;
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if (u == u'-' && minusAllowed) {
            collected += '-';
            minusAllowed = false;
        } else if (u == u'.' && pointAllowed) {
            collected += '.';
            pointAllowed = false;
        } else if (u >= u'0' && u <= u'9') {
            collected += char(u);
            minusAllowed = false;
        }
    }
    return collectedToNumber(collected);
}

float RoundToSingle(double value) {
    constexpr double largest = double(std::numeric_limits<float>::max());
    if (value > largest)
        return std::numeric_limits<float>::infinity();
    if (value < -largest)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

QString FormatWithDisplayFormat(double value, const QString& format) {
    if (!std::isfinite(value))
        return formatNonFinite(value, format);
    return formatDecimalText(shortestFixedText(std::fabs(value)), std::signbit(value), format);
}

QString FormatSingleWithDisplayFormat(float value, const QString& format) {
    if (!std::isfinite(value))
        return formatNonFinite(double(value), format);
    return formatDecimalText(shortestFixedText(std::fabs(value)), std::signbit(value), format);
}

} // namespace codec
