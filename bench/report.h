// What the benchmarks share: attaching the program to the simulated controller, and
// printing a result table.
#pragma once

#include "sim/launcher.h"

#include <QString>

#include <vector>

namespace bench {

// Points the program's port lookup at the simulator's directory and opens port 1; on
// failure the reason is in `error`.
bool attachPort(const sim::Launcher& simulator, QString& error);

// One row of a result table.
struct Row {
    QString measurement;
    QString value;
    QString nominal;
    QString verdict;
};

// Prints the rows as a pipe table under a heading.
void printTable(const QString& heading, const std::vector<Row>& rows);

} // namespace bench
