// What the tests of the tool's headless commands share: running the tool itself, as a
// technician runs it from a terminal, and the calibration log lines they give it.
#pragma once

#include "records/calibration_log.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace command_test {

inline const QString kTool = QStringLiteral(TQ_CAL_PROGRAM);

struct Finished {
    int exitCode = -1; // -1: it crashed or did not end within a minute
    QString out;
    QString err;
};

// Starts `program`. Under Wine a start now and then fails at once with "Internal error." on a
// busy machine: a start that failed is tried again, twice at most.
inline void startTriedAgain(QProcess& process, const QString& program,
                            const QStringList& arguments) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        process.start(program, arguments);
        if (process.waitForStarted(60000) || process.error() != QProcess::FailedToStart)
            return;
    }
}

// Runs the tool with `arguments`, with no display of any kind and no platform chosen for it.
inline Finished runTool(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    startTriedAgain(process, kTool, arguments);
    Finished result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// An Accept of `channel` by `user` on one controller, as the workbench logs it.
inline records::CalibrationLogEntry acceptOf(const QString& channel, const QString& user) {
    records::CalibrationLogEntry entry;
    entry.time = QDateTime(QDate(2026, 12, 8), QTime(7, 0, channel.toInt() % 60));
    entry.user = user;
    entry.port = 2;
    entry.device = QStringLiteral("COM2 -> /dev/pts/7");
    entry.displayMicroDate = QStringLiteral("11/03/00");
    entry.displayMicroInfo = QStringLiteral("V2.1");
    entry.terminalMicroDate = QStringLiteral("10/27/00");
    entry.channel = channel;
    entry.sensorType = QStringLiteral("0 - 100");
    entry.unit = QStringLiteral("PSIG");
    entry.loVolts = QStringLiteral("0.400");
    entry.hiVolts = QStringLiteral("4.600");
    entry.rangeLo = QStringLiteral("+001.0");
    entry.rangeHi = QStringLiteral("+125.0");
    entry.loCount = QStringLiteral("0327");
    entry.hiCount = QStringLiteral("3767");
    entry.controllerWrite = records::kWriteOk;
    entry.reportFile = QStringLiteral("stored");
    entry.readingBefore = QStringLiteral("12.5 PSIG");
    entry.readingAfter = QStringLiteral("18.7 PSIG");
    entry.writeReplies = QStringLiteral("OK\\r|OK\\r|OK\\r");
    return entry;
}

// The chain value a whole line of the log ends in.
inline QByteArray chainOf(const QByteArray& line) {
    const QByteArray body = line.endsWith("\r\n") ? line.chopped(2) : line;
    return body.mid(body.lastIndexOf(',') + 1);
}

// The whole file at `path`; empty when there is none.
inline QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace command_test
