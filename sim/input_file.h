// The sensor voltages a text file applies while the simulator runs, so that a test or a demo
// can play the reference standard: one "CH=VOLTS" a line, CH a channel number (30..37,
// 40..45) and VOLTS the voltage 0..5 at that channel's input. The file is read again each
// time it is asked for; what it cannot use (a line that is not CH=VOLTS, a file that cannot
// be read) leaves the channel's voltage as it was.
#pragma once

#include "sim/controller.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace sim {

// The file's contents read: the voltages in the order of their lines (slot, volts), and what
// is wrong with the lines that were left out. Blank lines and lines starting with "#" are
// neither; blanks around the texts and a CR before the line end do not matter. A last line
// without a line end is left out, as it may be half written: a reply never shows a voltage
// that was still being typed or written.
struct InputLines {
    std::vector<std::pair<int, double>> voltages;
    QStringList problems; // "line 3: '38=1' is not CH=VOLTS ..."
};
InputLines readInputLines(const QByteArray& contents);

class InputFile {
  public:
    explicit InputFile(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }

    // Reads the file and sets the voltage of each channel a usable line names (the last line
    // for a channel counts); the problems found in this reading, "cannot read ..." when the
    // file could not be read at all.
    QStringList applyTo(Controller& controller) const;

  private:
    QString path_;
};

} // namespace sim
