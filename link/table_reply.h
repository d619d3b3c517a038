// The controller's reply to a table read, decoded.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace Module1 {

// The 16-bit word a table-read reply carries: characters 6 to 8 (counted from 1) hold the low
// byte and characters 10 to 12 the high byte, each as exactly three decimal digits from 000 to
// 255. Any other reply (a field with a blank, sign or letter, a value above 255, a reply too
// short to hold both fields, a late reply to another command) carries no word.
std::optional<quint16> TableReplyWord(const QByteArray& reply);

} // namespace Module1
