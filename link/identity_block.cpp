#include "link/identity_block.h"

#include "app/module1.h"
#include "link/protocol.h"
#include "link/transact.h"

#include <QLocale>

#include <optional>

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

namespace {

struct IdentityValues {
    QVariant displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
};

// The three fields cut from a reply, with the substitute dates where a field is not a date.
IdentityValues cutIdentity(const QByteArray& reply) {
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

QString textOf(const IdentityValues& values) {
    return IdentityText(values.displayMicroDate, values.displayMicroInfo, values.terminalMicroDate);
}

void adopt(const IdentityValues& values) {
    vDisplayMicroDate = values.displayMicroDate;
    vDisplayMicroInfo = values.displayMicroInfo;
    sTerminalMicroDate = values.terminalMicroDate;
    bIdentityKnown = true;
    bIdentityUnconfirmed = false;
}

// One identity read in its own variables, so the command it comes before keeps its own; the
// block when it came whole.
std::optional<IdentityValues> readOnce() {
    const QString command = protocol::IdentityReadCommand();
    QByteArray reply;
    qint16 status = 22;
    QString errorText;
    Transact(command, reply, status, errorText);
    if (status != 0)
        return std::nullopt;
    return cutIdentity(reply);
}

} // namespace

void ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                       QString& sTerminalMicroDate) {
    sCommand = protocol::IdentityReadCommand();
    iStatus = 22;
    Transact(sCommand, sReply, iStatus, vErrorText);
    const bool read = iStatus == 0;
    if (!read)
        ReportCommError(iStatus, vErrorText);

    const IdentityValues values = cutIdentity(sReply);
    vDisplayMicroDate = values.displayMicroDate;
    vDisplayMicroInfo = values.displayMicroInfo;
    sTerminalMicroDate = values.terminalMicroDate;
    // Fields cut from a failed read name no controller: unconfirmed, and read again before the
    // next command goes on.
    bIdentityKnown = read;
    bIdentityUnconfirmed = !read;
    bIdentityReadDue = !read;
}

void ReadIdentityAgain() {
    bIdentityReadDue = false;
    const std::optional<IdentityValues> first = readOnce();
    if (!first) {
        bIdentityUnconfirmed = true;
        return;
    }
    const QString before = IdentityText();
    // Nothing to compare with (the start-up read failed), or the same controller.
    if (!bIdentityKnown || textOf(*first) == before) {
        adopt(*first);
        return;
    }
    const std::optional<IdentityValues> second = readOnce();
    if (!second || (textOf(*second) != before && textOf(*second) != textOf(*first))) {
        // Two answers that disagree name no controller.
        bIdentityUnconfirmed = true;
        return;
    }
    if (textOf(*second) == before) {
        // The first answer was disturbed; the controller is the one read before.
        bIdentityUnconfirmed = false;
        return;
    }
    // Another controller. When the operator has not yet been told of an earlier change, the
    // identity to tell of is still the one before that.
    if (sReplacedIdentity.isEmpty())
        sReplacedIdentity = before;
    adopt(*second);
    ++iControllerChanges;
    // Back to the controller the operator last heard of: nothing to tell.
    if (sReplacedIdentity == IdentityText())
        sReplacedIdentity.clear();
}

void NoteSilence() {
    bIdentityUnconfirmed = true;
    bIdentityReadDue = true;
}

QString IdentityText(const QVariant& displayMicroDate, const QString& displayMicroInfo,
                     const QString& terminalMicroDate) {
    QString displayBoard = DateFieldText(displayMicroDate);
    if (!displayMicroInfo.isEmpty())
        displayBoard += QLatin1Char(' ') + displayMicroInfo;
    return QStringLiteral("display board %1, terminal board %2")
        .arg(displayBoard, terminalMicroDate);
}

QString IdentityText() {
    return IdentityText(vDisplayMicroDate, vDisplayMicroInfo, sTerminalMicroDate);
}

} // namespace Module1
