#include "sim/transcript.h"

namespace sim {

namespace {

constexpr char kHex[] = "0123456789abcdef";

} // namespace

QByteArray jsonByteString(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            out += "\\u00";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    out += '"';
    return out;
}

QByteArray jsonLogLine(double ms, Direction direction, QByteArrayView bytes,
                       const LineNotes& notes) {
    QByteArray line = "{\"t\":" + QByteArray::number(ms < 0 ? 0.0 : ms, 'f', 3) +
                      ",\"dir\":" + (direction == Direction::In ? "\"in\"" : "\"out\"") +
                      ",\"text\":" + jsonByteString(bytes);
    if (notes.ignored)
        line += ",\"ignored\":true";
    if (notes.unknown)
        line += ",\"unknown\":true";
    if (notes.overlong)
        line += ",\"overlong\":true";
    if (notes.dropped)
        line += ",\"dropped\":true";
    line += "}\n";
    return line;
}

QByteArray readableBytes(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

} // namespace sim
