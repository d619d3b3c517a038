// The line settings of a serial port as the legacy control takes them: "9600,N,8,1".
#pragma once

#include <QString>

#include <optional>

namespace platform {

struct LineSettings {
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
};

// Speed, parity letter (N, E, O, M, S), data bits (5 to 8) and stop bits (1, 1.5, 2),
// separated by commas; nothing when the text is not such a setting.
std::optional<LineSettings> parseLineSettings(const QString& text);

} // namespace platform
