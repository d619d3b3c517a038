#include "platform/system/terminal.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <cstdio>
#include <io.h>
#include <windows.h>
#endif

namespace platform {

void useParentTerminal() {
#ifdef Q_OS_WIN
    const bool hasOutput = ::GetStdHandle(STD_OUTPUT_HANDLE) != nullptr &&
                           ::GetStdHandle(STD_OUTPUT_HANDLE) != INVALID_HANDLE_VALUE;
    if (hasOutput || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    FILE* ignored = nullptr;
    freopen_s(&ignored, "CONOUT$", "w", stdout);
    freopen_s(&ignored, "CONOUT$", "w", stderr);
#endif
}

} // namespace platform
