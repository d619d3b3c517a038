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
