#include "platform/system/user_name.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

QString osLoginName() {
#ifdef Q_OS_WIN
    // The account the program runs under, as the system knows it (not an environment
    // variable anyone could set).
    wchar_t name[257] = {};
    DWORD length = 257;
    if (!::GetUserNameW(name, &length) || length == 0)
        return QString();
    return QString::fromWCharArray(name, int(length) - 1);
#else
    const passwd* entry = ::getpwuid(::geteuid());
    if (entry == nullptr || entry->pw_name == nullptr)
        return QString();
    return QString::fromLocal8Bit(entry->pw_name);
#endif
}

} // namespace platform
