#include "codec/message_number.h"

#include <array>
#include <charconv>
#include <cmath>

namespace codec {

QString MessageNumberText(double value) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral(" Inf");
    const bool negative = std::signbit(value) && value != 0.0;
    const double magnitude = std::fabs(value);
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::fixed);
    QString digits = QString::fromLatin1(buffer.data(), int(result.ptr - buffer.data()));
    if (digits.startsWith(QLatin1String("0.")))
        digits.remove(0, 1);
    return (negative ? QLatin1Char('-') : QLatin1Char(' ')) + digits;
}

} // namespace codec
