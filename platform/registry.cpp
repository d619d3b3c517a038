#include "platform/registry.h"

#ifdef Q_OS_WIN
#include <QSettings>
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
    if (root != HKEY_LOCAL_MACHINE)
        return false;
    QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\") + keyName, QSettings::NativeFormat);
    const QVariant found = key.value(valueName);
    if (!found.isValid())
        return false;
    if (found.typeId() == QMetaType::Int || found.typeId() == QMetaType::UInt) {
        const quint32 number = found.toUInt();
        value.type = REG_DWORD;
        value.data = QByteArray(4, '\0');
        for (int i = 0; i < 4; ++i)
            value.data[i] = char((number >> (8 * i)) & 0xFF);
        value.reportedSize = 4;
        return true;
    }
    value.type = REG_SZ;
    value.data = found.toString().toLocal8Bit();
    value.data.append('\0');
    value.reportedSize = int(value.data.size());
    return true;
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
