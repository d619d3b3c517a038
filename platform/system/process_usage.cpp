// What both systems share; each system's figures are in process_usage_linux.cpp and
// process_usage_win.cpp.
#include "platform/system/process_usage.h"

namespace platform {

ThreadUsage operator-(const ThreadUsage& later, const ThreadUsage& earlier) {
    return {later.cpuNs - earlier.cpuNs,
            later.waitNs - earlier.waitNs,
            later.involuntarySwitches - earlier.involuntarySwitches,
            later.voluntarySwitches - earlier.voluntarySwitches,
            later.majorFaults - earlier.majorFaults,
            later.minorFaults - earlier.minorFaults,
            later.machineStealMs - earlier.machineStealMs};
}

} // namespace platform
