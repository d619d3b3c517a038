// Read-only access to the system registry, where the system information viewer is found.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// Root keys, as the registry numbers them.
constexpr qint32 HKEY_LOCAL_MACHINE = qint32(0x80000002);

// Value types.
constexpr int REG_SZ = 1;
constexpr int REG_DWORD = 4;

// One value as the registry hands it over: its type, its raw bytes in a buffer and the size
// the query reports (for text, with or without the closing NUL).
struct RegistryValue {
    int type = 0;
    QByteArray data;
    int reportedSize = 0;
};

// Reads value `valueName` of key `keyName` under `root`; false when the key or the value
// is missing or the system has no registry.
bool readRegistryValue(qint32 root, const QString& keyName, const QString& valueName,
                       RegistryValue& value);

// A stand-in registry (tests); an empty reader goes back to the system's.
using RegistryReader = std::function<bool(qint32 root, const QString& keyName,
                                          const QString& valueName, RegistryValue& value)>;
void setRegistryReader(RegistryReader reader);

} // namespace platform
