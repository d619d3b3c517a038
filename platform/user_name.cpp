#include "platform/user_name.h"

#ifdef Q_OS_WIN
#include <QtGlobal>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

QString osLoginName() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    const passwd* entry = ::getpwuid(::geteuid());
    if (entry == nullptr || entry->pw_name == nullptr)
        return QString();
    return QString::fromLocal8Bit(entry->pw_name);
#endif
}

} // namespace platform
