#include "link/table_reply.h"

namespace Module1 {

namespace {

// Three decimal digits from `from` (counted from 1), 0 to 255; nothing otherwise.
std::optional<int> byteField(const QByteArray& reply, qsizetype from) {
    if (reply.size() < from - 1 + 3)
        return std::nullopt;
    int value = 0;
    for (qsizetype i = from - 1; i < from - 1 + 3; ++i) {
        const char c = reply[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 255)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<quint16> TableReplyWord(const QByteArray& reply) {
    const std::optional<int> low = byteField(reply, 6);
    const std::optional<int> high = byteField(reply, 10);
    if (!low || !high)
        return std::nullopt;
    return static_cast<quint16>(*low + 256 * *high);
}

} // namespace Module1
