#include "app/verify_log_command.h"

#include "records/calibration_log_reader.h"
#include "records/log_check.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace app {

namespace {

// The place of a line of the log as a text editor shows it: "line 7", or "line 2 of the
// pending file" and its name.
QString placeText(const records::CalibrationLogReading& reading, int fileLine, bool pending) {
    const QString line = QStringLiteral("line %1").arg(fileLine);
    return pending ? line + QStringLiteral(" of the pending file ") +
                         QDir::toNativeSeparators(reading.pendingPath)
                   : line;
}

// Sets `value` from the argument after the option at `i`; false, with why, when it is missing
// or was given before.
bool takeValue(const QStringList& arguments, qsizetype& i, QString& value, QString& error) {
    const QString& option = arguments[i];
    if (!value.isEmpty()) {
        error = QStringLiteral("%1 is given twice").arg(option);
        return false;
    }
    if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
        error = QStringLiteral("%1 needs a value").arg(option);
        return false;
    }
    value = arguments[++i];
    return true;
}

} // namespace

VerifyLogArguments verifyLogArguments(const QStringList& arguments) {
    VerifyLogArguments parsed;
    QString chain;
    QString lines;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString* value = argument == QLatin1String("--verify-log") ? &parsed.logPath
                         : argument == QLatin1String("--chain")    ? &chain
                         : argument == QLatin1String("--lines")    ? &lines
                                                                   : nullptr;
        if (!value) {
            parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(argument);
            return parsed;
        }
        if (!takeValue(arguments, i, *value, parsed.error))
            return parsed;
    }
    if (parsed.logPath.isEmpty() || chain.isEmpty() || lines.isEmpty()) {
        parsed.error = QStringLiteral("--verify-log LOG, --chain HEX and --lines N are all needed");
        return parsed;
    }
    // The whole value: a shortened one could match more than one log.
    static const QRegularExpression kHex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!kHex.match(chain).hasMatch()) {
        parsed.error = QStringLiteral("--chain needs the full chain value, 64 hexadecimal digits, "
                                      "not \"%1\"")
                           .arg(chain);
        return parsed;
    }
    parsed.chain = chain.toLower().toLatin1();
    static const QRegularExpression kWholeNumber(QStringLiteral("^[0-9]+$"));
    bool number = false;
    parsed.lines = lines.toInt(&number);
    if (!kWholeNumber.match(lines).hasMatch() || !number || parsed.lines < 1) {
        parsed.lines = 0;
        parsed.error =
            QStringLiteral("--lines needs a whole number of lines, 1 or more, not \"%1\"")
                .arg(lines);
    }
    return parsed;
}

int runVerifyLogCommand(const VerifyLogArguments& arguments) {
    QTextStream err(stderr);
    const auto fail = [&err](const QString& why, int status) {
        err << "tq8400-cal: " << why << Qt::endl;
        return status;
    };
    if (!arguments.error.isEmpty())
        return fail(arguments.error + QStringLiteral(" (see --help)"), kLogBadArguments);

    const QString logPath = QDir::cleanPath(QFileInfo(arguments.logPath).absoluteFilePath());
    const QString logName = QDir::toNativeSeparators(logPath);
    // Counted as the certificate counts them: the pending file's lines after the log's. Read by
    // the name the messages show, which the reader's own messages then name too.
    const records::CalibrationLogReading reading = records::readCalibrationLogWithPending(logName);
    const records::LogCheck check =
        records::checkLogChain(reading, arguments.chain, arguments.lines);
    const QString place = placeText(reading, check.fileLine, check.pending);
    switch (check.outcome) {
    case records::LogCheckOutcome::Intact:
        QTextStream(stdout) << "intact: the first " << arguments.lines << " lines of " << logName
                            << " (to " << place << ") are chained unchanged and end in "
                            << check.chain << Qt::endl;
        return kLogIntact;
    case records::LogCheckOutcome::Unreadable:
        // The reading's error names the file.
        return fail(check.error, kLogUnreadable);
    case records::LogCheckOutcome::TooShort:
        return fail(
            QStringLiteral("cut short: %1 holds %2 lines after its header, not the %3 "
                           "asked for%4")
                .arg(logName)
                .arg(check.lineCount)
                .arg(arguments.lines)
                .arg(check.lineCount > 0 ? QStringLiteral("; it ends at ") + place : QString()),
            kLogCutShort);
    case records::LogCheckOutcome::Broken:
        return fail(QStringLiteral("chain broken: %1, %2: changed since it was written (or a "
                                   "line before it removed)")
                        .arg(logName, place),
                    kLogChainBroken);
    case records::LogCheckOutcome::OtherChain:
        return fail(QStringLiteral("another chain: the first %1 lines of %2 (to %3) are chained, "
                                   "but end in %4, not %5: the log was rebuilt, or is another log")
                        .arg(arguments.lines)
                        .arg(logName, place, QString::fromLatin1(check.chain),
                             QString::fromLatin1(arguments.chain)),
                    kLogOtherChain);
    }
    return kLogUnreadable;
}

} // namespace app
