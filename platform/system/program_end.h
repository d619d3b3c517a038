// Ending the program at once.
#pragma once

#include <functional>

namespace platform {

// Ends the program at once: no further window is shown and no event runs. Returns only
// when a hook is set.
void endProgramNow(int exitCode = 0);

// Tests observe the end instead of dying: the hook runs in place of the real end and the
// caller then returns normally. An empty hook goes back to the real end.
void setProgramEndHook(std::function<void(int exitCode)> hook);

} // namespace platform
