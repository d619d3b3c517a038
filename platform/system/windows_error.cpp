#include "platform/system/windows_error.h"

#include <windows.h>

namespace platform {

QString windowsErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text;
    if (length > 0 && buffer != nullptr)
        text = QString::fromWCharArray(buffer, int(length)).trimmed();
    if (buffer != nullptr)
        ::LocalFree(buffer);
    return text.isEmpty() ? QStringLiteral("error %1").arg(code) : text;
}

} // namespace platform
