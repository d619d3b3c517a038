// The identity block cut into its three fields.
//
// Property: the display board date, the display board text and the terminal board date are
// at most 8, 6 and 8 characters, none starts or ends with a blank, and each is exactly the
// bytes at its position (characters 1-8, 9-14, 15-22, as far as the reply reaches), one
// character per byte, with the blanks around them removed.
#include "fuzz_check.h"

#include "link/protocol.h"

#include <cstddef>
#include <cstdint>

namespace {

// The field worked out here: the bytes from `from` (counted from 0) on, at most `length` of
// them, outer blanks removed, each byte the character of the same number.
QString positionalCut(const std::uint8_t* data, std::size_t size, std::size_t from,
                      std::size_t length) {
    std::size_t begin = from;
    std::size_t end = from + length < size ? from + length : size;
    if (begin >= end)
        return QString();
    while (begin < end && data[begin] == ' ')
        ++begin;
    while (end > begin && data[end - 1] == ' ')
        --end;
    QString cut;
    for (std::size_t i = begin; i < end; ++i)
        cut += QChar(char16_t(data[i]));
    return cut;
}

void checkField(const QString& field, const std::uint8_t* data, std::size_t size, std::size_t from,
                std::size_t length) {
    const QString expected = positionalCut(data, size, from, length);
    const auto detail = [&] {
        return QString(QStringLiteral("field at %1: %2, expected %3")
                           .arg(from + 1)
                           .arg(fuzz::shown(field), fuzz::shown(expected)));
    };
    FUZZ_CHECK_SHOW(std::size_t(field.size()) <= length, detail());
    if (!field.isEmpty()) {
        FUZZ_CHECK_SHOW(field.front() != QLatin1Char(' '), detail());
        FUZZ_CHECK_SHOW(field.back() != QLatin1Char(' '), detail());
    }
    FUZZ_CHECK_SHOW(field == expected, detail());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    const devicelink::protocol::IdentityFields fields =
        devicelink::protocol::DecodeIdentityBlock(reply);
    checkField(fields.displayMicroDate, data, size, 0, 8);
    checkField(fields.displayMicroInfo, data, size, 8, 6);
    checkField(fields.terminalMicroDate, data, size, 14, 8);
    return 0;
}
