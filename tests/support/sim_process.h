// The simulated controller as the tests use it.
#pragma once

#include "sim/launcher.h"

#include <functional>

namespace testsupport {

using SimProcess = sim::Launcher;
using WireLogLine = sim::WireLogLine;
using sim::binDirectory;

// Waits, processing events, until `condition` holds or `timeoutMs` has passed.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

} // namespace testsupport
