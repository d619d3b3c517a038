// The controller's identity block: firmware dates and text of its two micros.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

namespace devicelink {

// The three fields of an identity block, each trimmed: the display board date (characters
// 1-8), the display board text (9-14) and the terminal board date (15-22).
struct IdentityValues {
    QVariant displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
};

// Cuts a 22-character identity reply into its fields. A date field that is not a date gets a
// substitute: 19 May 2000 for the display board (kept as a date), 2 May 2000 for the terminal
// board (kept as its text). Whatever came is cut, however short.
IdentityValues CutIdentity(const QByteArray& reply);

// One identity read: the block when the exchange succeeded, nothing otherwise. No box.
std::optional<IdentityValues> ReadIdentityOnce();

// The identity fields as the operator knows them from the about box:
// "display board 11/03/00 V2.1, terminal board 10/27/00".
QString IdentityText(const QVariant& displayMicroDate, const QString& displayMicroInfo,
                     const QString& terminalMicroDate);
QString IdentityText(const IdentityValues& values);

// Whether the text is a date: exactly eight characters as dd/dd/dd or dd-dd-dd (month
// first) or dd.dd.dd (day first), or the locale's own numeric short date form, naming a
// real calendar day.
bool IsDateText(const QString& text);

// The date in the form dates are shown in: the locale's short date form when it is all
// numbers, otherwise MM/dd/yy.
QString ShortDateText(const QDate& date);

// A date field's value as shown: a date in the short form, a text as it is.
QString DateFieldText(const QVariant& value);

} // namespace devicelink
