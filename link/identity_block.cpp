#include "link/identity_block.h"

#include "link/protocol.h"
#include "link/transact.h"

#include <QLocale>

#include <optional>

namespace devicelink {

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

IdentityValues CutIdentity(const QByteArray& reply) {
    const protocol::IdentityFields fields = protocol::DecodeIdentityBlock(reply);
    IdentityValues values;
    if (IsDateText(fields.displayMicroDate))
        values.displayMicroDate = fields.displayMicroDate;
    else
        values.displayMicroDate = kDisplayBoardSubstitute;
    values.displayMicroInfo = fields.displayMicroInfo;
    values.terminalMicroDate = IsDateText(fields.terminalMicroDate)
                                   ? fields.terminalMicroDate
                                   : ShortDateText(kTerminalBoardSubstitute);
    return values;
}

std::optional<IdentityValues> ReadIdentityOnce() {
    const ExchangeResult read = Exchange(protocol::IdentityReadCommand(), ReplyWait::IdentityBlock);
    if (read.failed())
        return std::nullopt;
    return CutIdentity(read.reply);
}

QString IdentityText(const QVariant& displayMicroDate, const QString& displayMicroInfo,
                     const QString& terminalMicroDate) {
    QString displayBoard = DateFieldText(displayMicroDate);
    if (!displayMicroInfo.isEmpty())
        displayBoard += QLatin1Char(' ') + displayMicroInfo;
    return QStringLiteral("display board %1, terminal board %2")
        .arg(displayBoard, terminalMicroDate);
}

QString IdentityText(const IdentityValues& values) {
    return IdentityText(values.displayMicroDate, values.displayMicroInfo, values.terminalMicroDate);
}

} // namespace devicelink
