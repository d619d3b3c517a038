// The controller's identity block: firmware dates and text of its two micros.
#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

namespace Module1 {

// Reads the 22-character identity block once and cuts it into the display board date
// (characters 1-8), the display board text (9-14) and the terminal board date (15-22),
// each trimmed. A date field that is not a date gets a substitute: 19 May 2000 for the
// display board (kept as a date), 2 May 2000 for the terminal board (kept as its text).
// A failed read is reported with the standard box; the fields are cut from whatever came.
void ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                       QString& sTerminalMicroDate);

// Reads the identity block again after a silence or a reopen, before the next command goes
// on. No box: a read that fails leaves the identity unconfirmed until the next such moment.
// A block other than the one read before is read once more, and only two reads that agree
// count as another controller (a late reply to an earlier command cannot pass for one); the
// fields then take the new block and the one it replaced waits in `sReplacedIdentity` until
// the operator has been told.
void ReadIdentityAgain();

// A live reading got no reply at all: the controller may have been changed behind the same
// port, so its identity is unconfirmed and read again before the next command.
void NoteSilence();

// The identity fields as the operator knows them from the about box:
// "display board 11/03/00 V2.1, terminal board 10/27/00".
QString IdentityText(const QVariant& displayMicroDate, const QString& displayMicroInfo,
                     const QString& terminalMicroDate);
QString IdentityText();

// Whether the text is a date: exactly eight characters as dd/dd/dd or dd-dd-dd (month
// first) or dd.dd.dd (day first), or the locale's own numeric short date form, naming a
// real calendar day.
bool IsDateText(const QString& text);

// The date in the form dates are shown in: the locale's short date form when it is all
// numbers, otherwise MM/dd/yy.
QString ShortDateText(const QDate& date);

// A date field's value as shown: a date in the short form, a text as it is.
QString DateFieldText(const QVariant& value);

} // namespace Module1
