#include "platform/system/program_end.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
std::function<void(int)>& hookSlot() {
    static std::function<void(int)> hook;
    return hook;
}
} // namespace

void endProgramNow(int exitCode) {
    if (hookSlot()) {
        hookSlot()(exitCode);
        return;
    }
    std::fflush(nullptr);
    // Skip the teardown of windows and event handlers: the program ends here.
    std::_Exit(exitCode);
}

void setProgramEndHook(std::function<void(int)> hook) {
    hookSlot() = std::move(hook);
}

} // namespace platform
