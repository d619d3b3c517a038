#include "platform/system/error_text.h"

#include <cstring>

namespace platform {

QString errorText(int errorNumber) {
    char buffer[256] = {};
#ifdef Q_OS_WIN
    if (::strerror_s(buffer, sizeof buffer, errorNumber) != 0)
        buffer[0] = '\0';
    const char* text = buffer;
#elif defined(_GNU_SOURCE)
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
#else
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer) == 0 ? buffer : "";
#endif
    const QString result = QString::fromLocal8Bit(text).trimmed();
    return result.isEmpty() ? QStringLiteral("error %1").arg(errorNumber) : result;
}

} // namespace platform
