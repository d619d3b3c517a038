#include "platform/serial/line_settings.h"

#include <QStringList>

namespace platform {

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings settings;
    bool ok = false;
    settings.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || settings.baudRate <= 0)
        return std::nullopt;

    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        settings.parity = LineSettings::Parity::None;
    else if (parity == QLatin1String("E"))
        settings.parity = LineSettings::Parity::Even;
    else if (parity == QLatin1String("O"))
        settings.parity = LineSettings::Parity::Odd;
    else if (parity == QLatin1String("M"))
        settings.parity = LineSettings::Parity::Mark;
    else if (parity == QLatin1String("S"))
        settings.parity = LineSettings::Parity::Space;
    else
        return std::nullopt;

    settings.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || settings.dataBits < 5 || settings.dataBits > 8)
        return std::nullopt;

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        settings.stopBits = LineSettings::StopBits::One;
    else if (stop == QLatin1String("1.5"))
        settings.stopBits = LineSettings::StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        settings.stopBits = LineSettings::StopBits::Two;
    else
        return std::nullopt;
    return settings;
}

} // namespace platform
