#include "records/reading_value.h"

#include <cmath>

namespace records {

std::optional<ReadingValue> readingValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    qsizetype decimals = -1; // digits after the point; -1 while no point was seen
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++digits;
            if (decimals >= 0)
                ++decimals;
        } else if (c == QLatin1Char('.') && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return ReadingValue{value, std::pow(10.0, -double(std::max<qsizetype>(decimals, 0)))};
}

} // namespace records
