// Starting other programs.
#pragma once

#include <QString>

#include <functional>

namespace platform {

// A system information viewer installed on this machine that needs no registry to be
// found, or an empty text.
QString systemInfoViewerOnPath();

// Starts the program as a separate process with a normal window, without waiting for it.
bool startProgram(const QString& path);

// A stand-in for starting programs (tests); an empty one goes back to the real start.
void setProgramStarter(std::function<bool(const QString& path)> starter);

} // namespace platform
