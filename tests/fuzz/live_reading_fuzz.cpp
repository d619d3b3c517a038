// A live reading's bytes as the display shows them.
//
// Property: the text has one character per byte, never a NUL (a NUL byte shows as a blank),
// the controller's degree byte 0xDF and the code page's own degree byte 0xF8 both show as the
// degree sign, and the printable ASCII bytes show as themselves.
#include "fuzz_check.h"

#include "link/protocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = devicelink::protocol::LiveReadingText(reply);
    FUZZ_CHECK_SHOW(std::size_t(text.size()) == size,
                    fuzz::shown(reply) + QLatin1String(" -> ") + fuzz::shown(text));
    constexpr char16_t kDegreeSign = 0x00B0;
    for (std::size_t i = 0; i < size; ++i) {
        const QChar shown = text[qsizetype(i)];
        const std::uint8_t byte = data[i];
        const auto detail = [&] {
            return QString(QStringLiteral("byte %1 (0x%2) shows as U+%3")
                               .arg(i)
                               .arg(byte, 2, 16, QLatin1Char('0'))
                               .arg(shown.unicode(), 4, 16, QLatin1Char('0')));
        };
        FUZZ_CHECK_SHOW(shown.unicode() != 0, detail());
        FUZZ_CHECK_SHOW(!shown.isSurrogate(), detail());
        if (byte == 0x00)
            FUZZ_CHECK_SHOW(shown == QLatin1Char(' '), detail());
        else if (byte == 0xDF || byte == 0xF8)
            FUZZ_CHECK_SHOW(shown.unicode() == kDegreeSign, detail());
        else if (byte >= 0x20 && byte <= 0x7E)
            FUZZ_CHECK_SHOW(shown.unicode() == byte, detail());
        else
            FUZZ_CHECK_SHOW(shown.unicode() != kDegreeSign, detail());
    }
    return 0;
}
