#include "link/identity_block.h"

#include "app/module1.h"
#include "link/protocol.h"
#include "link/transact.h"

#include <QLocale>

namespace Module1 {

namespace {

const QDate kDisplayBoardSubstitute(2000, 5, 19);
const QDate kTerminalBoardSubstitute(2000, 5, 2);

// Two-digit years 00 to 49 are this century, 50 to 99 the last.
int fullYear(int twoDigits) {
    return twoDigits < 50 ? 2000 + twoDigits : 1900 + twoDigits;
}

bool allDigits(QStringView text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !text.isEmpty();
}

bool isFixedFormDate(const QString& text) {
    if (text.size() != 8)
        return false;
    const QChar separator = text[2];
    if (text[5] != separator)
        return false;
    const QStringView view(text);
    if (!allDigits(view.mid(0, 2)) || !allDigits(view.mid(3, 2)) || !allDigits(view.mid(6, 2)))
        return false;
    const int first = view.mid(0, 2).toInt();
    const int second = view.mid(3, 2).toInt();
    const int year = fullYear(view.mid(6, 2).toInt());
    if (separator == QLatin1Char('/') || separator == QLatin1Char('-'))
        return QDate(year, first, second).isValid();
    if (separator == QLatin1Char('.'))
        return QDate(year, second, first).isValid();
    return false;
}

QString numericShortDateFormat() {
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    // A short form that spells out month or day names is not numeric.
    if (format.contains(QLatin1String("MMM")) || format.contains(QLatin1String("ddd")))
        return QString();
    return format;
}

bool isLocaleDate(const QString& text) {
    const QString format = numericShortDateFormat();
    if (format.isEmpty())
        return false;
    QDate date = QLocale().toDate(text, format);
    if (!date.isValid())
        return false;
    return true;
}

} // namespace

bool IsDateText(const QString& text) {
    return isFixedFormDate(text) || isLocaleDate(text);
}

QString ShortDateText(const QDate& date) {
    const QString format = numericShortDateFormat();
    if (format.isEmpty())
        return date.toString(QStringLiteral("MM/dd/yy"));
    return QLocale().toString(date, format);
}

QString DateFieldText(const QVariant& value) {
    if (value.typeId() == QMetaType::QDate)
        return ShortDateText(value.toDate());
    return value.toString();
}

void ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                       QString& sTerminalMicroDate) {
    sCommand = protocol::IdentityReadCommand();
    iStatus = 22;
    Transact(sCommand, sReply, iStatus, vErrorText);
    if (iStatus > 0)
        ReportCommError(iStatus, vErrorText);

    const protocol::IdentityFields fields = protocol::DecodeIdentityBlock(sReply);
    const QString& displayDate = fields.displayMicroDate;
    if (IsDateText(displayDate))
        vDisplayMicroDate = displayDate;
    else
        vDisplayMicroDate = kDisplayBoardSubstitute;
    vDisplayMicroInfo = fields.displayMicroInfo;
    const QString& terminalDate = fields.terminalMicroDate;
    sTerminalMicroDate =
        IsDateText(terminalDate) ? terminalDate : ShortDateText(kTerminalBoardSubstitute);
}

} // namespace Module1
