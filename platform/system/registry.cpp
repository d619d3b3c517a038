#include "platform/system/registry.h"

#ifdef Q_OS_WIN
namespace {
// Taken before <windows.h>, whose macros of the same names would stand in its way.
constexpr qint32 kLocalMachineRoot = platform::HKEY_LOCAL_MACHINE;
} // namespace

#include <windows.h>
#endif

namespace platform {

namespace {
RegistryReader& readerSlot() {
    static RegistryReader reader;
    return reader;
}

bool readSystemRegistry([[maybe_unused]] qint32 root, [[maybe_unused]] const QString& keyName,
                        [[maybe_unused]] const QString& valueName,
                        [[maybe_unused]] RegistryValue& value) {
#ifdef Q_OS_WIN
    if (root != kLocalMachineRoot)
        return false;
    // The system's own query, in the system's 8-bit code page, as the legacy program read it:
    // the type, the bytes and the size the query reports (a text's closing NUL included).
    HKEY key = nullptr;
    const QByteArray keyText = keyName.toLocal8Bit();
    const QByteArray valueText = valueName.toLocal8Bit();
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyText.constData(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    bool found = ::RegQueryValueExA(key, valueText.constData(), nullptr, &type, nullptr, &size) ==
                 ERROR_SUCCESS;
    if (found) {
        value.data = QByteArray(int(size), '\0');
        found =
            ::RegQueryValueExA(key, valueText.constData(), nullptr, &type,
                               reinterpret_cast<BYTE*>(value.data.data()), &size) == ERROR_SUCCESS;
        value.type = int(type);
        value.data.resize(int(size));
        value.reportedSize = int(size);
    }
    ::RegCloseKey(key);
    return found;
#else
    return false; // no registry on this system
#endif
}
} // namespace

bool readRegistryValue(qint32 root, const QString& keyName, const QString& valueName,
                       RegistryValue& value) {
    if (readerSlot())
        return readerSlot()(root, keyName, valueName, value);
    return readSystemRegistry(root, keyName, valueName, value);
}

void setRegistryReader(RegistryReader reader) {
    readerSlot() = std::move(reader);
}

} // namespace platform
