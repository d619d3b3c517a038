// What Windows tells of serial ports: whether COMn exists now, the adapter's name from the
// system's device information, and what an open failure's error code means.
#include "platform/serial/port_info.h"

#include "platform/serial/port_path.h"

#include <QHash>

#include <windows.h>
// setupapi.h after windows.h.
#include <devguid.h>
#include <setupapi.h>

#include <vector>

namespace platform {

namespace {

// The names the system's device information gives the serial ports present now, by port
// name ("COM3" -> "USB Serial Port (COM3)"). Adapters that are unplugged are left out.
QHash<QString, QString> portFriendlyNames() {
    QHash<QString, QString> names;
    HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        HKEY key =
            ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t portName[64] = {};
        DWORD size = sizeof(portName) - sizeof(wchar_t);
        DWORD type = 0;
        const bool named =
            ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName),
                               &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        ::RegCloseKey(key);
        if (!named)
            continue;
        wchar_t friendly[256] = {};
        if (::SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                reinterpret_cast<BYTE*>(friendly),
                                                sizeof(friendly) - sizeof(wchar_t), nullptr))
            names.insert(QString::fromWCharArray(portName).toUpper(),
                         QString::fromWCharArray(friendly).trimmed());
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return names;
}

// The system's serial devices by port name ("COM1" -> "\Device\Serial0"): the driver's own
// device name, where the device information has no friendlier one.
QHash<QString, QString> serialDeviceMap() {
    QHash<QString, QString> map;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return map;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        wchar_t data[64] = {};
        DWORD nameLength = 255;
        DWORD dataSize = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && type == REG_SZ)
            map.insert(QString::fromWCharArray(data).toUpper(), QString::fromWCharArray(name));
    }
    ::RegCloseKey(key);
    return map;
}

} // namespace

PortDevice describeDevice(const QString& path) {
    PortDevice device;
    device.path = path;
    // A port exists while the system has a device of that name.
    wchar_t target[1024] = {};
    device.present = ::QueryDosDeviceW(path.toStdWString().c_str(), target, 1023) != 0;
    return device;
}

std::vector<PortDevice> describePorts(int first, int last) {
    const QHash<QString, QString> friendly = portFriendlyNames();
    const QHash<QString, QString> serial = serialDeviceMap();
    std::vector<PortDevice> devices;
    for (int port = first; port <= last; ++port) {
        PortDevice device = describeDevice(portDevicePath(port));
        device.portNumber = port;
        device.systemPort = true;
        const QString key = device.path.toUpper();
        device.description = friendly.value(key, serial.value(key));
        device.present = device.present || !device.description.isEmpty();
        devices.push_back(device);
    }
    return devices;
}

PortErrorKind portErrorKindOfWindowsError(unsigned long error) {
    switch (error) {
    case ERROR_SUCCESS:
        return PortErrorKind::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
        return PortErrorKind::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return PortErrorKind::Busy;
    default:
        return PortErrorKind::Other;
    }
}

} // namespace platform
