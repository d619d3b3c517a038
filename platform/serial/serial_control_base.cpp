#include "platform/serial/serial_control_base.h"

#include "platform/serial/port_info.h"
#include "platform/system/error_text.h"

namespace platform {

bool SerialControlBase::setSettings(const QString& settings) {
    const std::optional<LineSettings> parsed = parseLineSettings(settings);
    if (!parsed) {
        m_lastError = QStringLiteral("invalid line settings \"%1\"").arg(settings);
        return false;
    }
    m_settings = *parsed;
    return usable() ? applyLineSettings() : true;
}

bool SerialControlBase::setReceiveBufferSize(int size) {
    return m_received.setCapacity(size);
}

bool SerialControlBase::setTransmitBufferSize(int size) {
    if (size <= 0)
        return false;
    m_transmitBufferSize = size;
    return true;
}

bool SerialControlBase::setPortNumber(int portNumber) {
    if (portNumber < 1 || portNumber > 255) {
        m_lastError = QStringLiteral("port number %1 does not exist").arg(portNumber);
        return false;
    }
    if (isDeviceOpen()) {
        m_lastError = QStringLiteral("the port is open");
        return false;
    }
    m_portNumber = portNumber;
    return true;
}

bool SerialControlBase::setPortOpen(bool open) {
    if (!open) {
        closeDevice();
        m_lost = false;
        m_received.clear();
        return true;
    }
    if (isDeviceOpen()) {
        m_lastError = QStringLiteral("the port is already open");
        m_openErrorKind = PortErrorKind::Other;
        return false;
    }
    m_lost = false;
    m_received.clear();
    m_openedPath = devicePath();
    return openDevice(m_openedPath);
}

bool SerialControlBase::reopenLostDevice() {
    if (!m_lost)
        return usable();
    // The very device that was lost (the COMn link or port it was opened on, not whatever the
    // port number would map to now): never another port that happens to exist.
    if (!openDevice(m_openedPath))
        return false; // still gone: stays lost, and the next exchange tries once more
    m_lost = false;
    m_received.clear();
    qCInfo(lcPort).noquote() << m_openedPath << "is back";
    return true;
}

bool SerialControlBase::setReadLength(int length) {
    if (length < 0)
        return false;
    m_readLength = length;
    return true;
}

bool SerialControlBase::refusedForTests(const QString& path) {
    const int refused = portOpenFailureForTests();
    if (refused == 0)
        return false;
    m_lastError = QStringLiteral("%1: %2").arg(path, platform::errorText(refused));
    m_openErrorKind = portErrorKindOf(refused);
    return true;
}

void SerialControlBase::openedWell() {
    m_lastError.clear();
    m_openErrorKind = PortErrorKind::None;
}

} // namespace platform
