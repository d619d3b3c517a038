#include "platform/files/file_hold.h"

#ifdef Q_OS_WIN
#include "platform/system/windows_error.h"

#include <QDir>

#include <windows.h>
#endif

namespace platform {

ExclusiveFileHold::ExclusiveFileHold(const QString& path, OthersMay others) {
#ifdef Q_OS_WIN
    // Share mode 0: every other open of the file fails with a sharing violation; with
    // FILE_SHARE_READ only the opens that would write or remove it fail.
    const DWORD share = others == OthersMay::Read ? FILE_SHARE_READ : 0;
    HANDLE handle = ::CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(),
                                  GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        m_reason = windowsErrorText(::GetLastError());
    else
        m_handle = handle;
#else
    Q_UNUSED(path);
    Q_UNUSED(others);
    m_reason = QStringLiteral("this system has no way to hold a file against other programs "
                              "(Windows has: an open without sharing)");
#endif
}

ExclusiveFileHold::~ExclusiveFileHold() {
    release();
}

void ExclusiveFileHold::release() {
#ifdef Q_OS_WIN
    if (m_handle != nullptr)
        ::CloseHandle(static_cast<HANDLE>(m_handle));
#endif
    m_handle = nullptr;
}

} // namespace platform
