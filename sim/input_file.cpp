#include "sim/input_file.h"

#include <QFile>

namespace sim {

namespace {

// The slot and volts of a "CH=VOLTS" line, or -1 as the slot when it is not one.
std::pair<int, double> readLine(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0)
        return {-1, 0};
    bool channelOk = false;
    bool voltsOk = false;
    const int channel = line.left(equals).trimmed().toInt(&channelOk);
    const double volts = line.mid(equals + 1).trimmed().toDouble(&voltsOk);
    if (!channelOk || !voltsOk || !(volts >= 0.0 && volts <= 5.0))
        return {-1, 0};
    return {slotOfChannel(channel), volts};
}

} // namespace

InputLines readInputLines(const QByteArray& contents) {
    InputLines result;
    const QList<QByteArray> lines = contents.split('\n');
    // After the last line end: nothing, or a line still being written.
    const qsizetype ended = lines.size() - 1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QString number = QString::number(i + 1);
        const QString text = QString::fromLatin1(line);
        if (i == ended) {
            result.problems.append(
                QStringLiteral("line %1: '%2' has no line end yet").arg(number, text));
            continue;
        }
        const auto [slot, volts] = readLine(line);
        if (slot >= 0)
            result.voltages.emplace_back(slot, volts);
        else
            result.problems.append(QStringLiteral("line %1: '%2' is not CH=VOLTS with CH one of "
                                                  "30..37, 40..45 and VOLTS 0..5")
                                       .arg(number, text));
    }
    return result;
}

QStringList InputFile::applyTo(Controller& controller) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read '%1': %2").arg(path_, file.errorString())};
    const InputLines lines = readInputLines(file.readAll());
    for (const auto& [slot, volts] : lines.voltages)
        controller.setVoltage(slot, volts);
    return lines.problems;
}

} // namespace sim
