// SPDX-License-Identifier: MIT
// The serial ports of a Windows system: the COM ports its drivers announce
// under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each described as Device
// Manager shows it where the Ports class knows the device ("USB Serial
// Port (COM3)", its maker, its USB ids and serial number), else by the
// device that serves it (\Device\Serial0, \Device\VCP0, ...).
#include "qt/portscan.h"

#include <QSettings>

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>

namespace quill {

namespace {

// COM2 before COM10.
long portNumber(const std::string& name) {
    const size_t digits = name.find_last_not_of("0123456789") + 1;
    return digits < name.size() ? std::stol(name.substr(digits, 9)) : -1L;
}

std::string narrow(const std::wstring& text) {
    return QString::fromStdWString(text).toStdString();
}

std::wstring deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           nullptr)) {
        return {};
    }
    return buffer;
}

std::wstring portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer - 2;
    DWORD type = 0;
    const LONG read =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::wstring(buffer) : std::wstring();
}

// "USB\VID_0403&PID_6001&REV_0600": the four hex digits after `tag`.
std::optional<uint16_t> usbId(const std::wstring& hardwareId, const std::wstring& tag) {
    const size_t at = hardwareId.find(tag);
    if (at == std::wstring::npos || at + tag.size() + 4 > hardwareId.size()) {
        return std::nullopt;
    }
    bool ok = false;
    const uint16_t id =
        QString::fromStdWString(hardwareId.substr(at + tag.size(), 4)).toUShort(&ok, 16);
    return ok ? std::optional(id) : std::nullopt;
}

// The ports Device Manager lists under "Ports (COM & LPT)", by COM name.
std::map<std::string, DetectedPort> describedPorts() {
    std::map<std::string, DetectedPort> described;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return described;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const std::string name = narrow(portName(set, device));
        if (name.empty()) {
            continue;
        }
        DetectedPort port;
        port.systemLocation = name;
        port.description = narrow(deviceProperty(set, device, SPDRP_FRIENDLYNAME));
        port.manufacturer = narrow(deviceProperty(set, device, SPDRP_MFG));
        const std::wstring hardwareId = deviceProperty(set, device, SPDRP_HARDWAREID);
        port.vendorId = usbId(hardwareId, L"VID_");
        port.productId = usbId(hardwareId, L"PID_");
        // A USB device's instance ends in its serial number, unless Windows
        // made one up (it holds '&' then).
        wchar_t instance[512] = {};
        if (port.vendorId && SetupDiGetDeviceInstanceIdW(set, &device, instance, 511, nullptr)) {
            const std::wstring id = instance;
            const std::wstring last = id.substr(id.find_last_of(L'\\') + 1);
            if (last.find(L'&') == std::wstring::npos) {
                port.serialNumber = narrow(last);
            }
        }
        described[name] = std::move(port);
    }
    SetupDiDestroyDeviceInfoList(set);
    return described;
}

} // namespace

std::vector<DetectedPort> detectPorts(const std::string& /*byIdFolder*/) {
    QSettings map(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                  QSettings::NativeFormat);
    std::map<std::string, DetectedPort> described = describedPorts();
    std::vector<DetectedPort> ports;
    for (const QString& key : map.childKeys()) {
        DetectedPort port;
        port.systemLocation = map.value(key).toString().toStdString();
        port.description = key.toStdString();
        if (port.systemLocation.empty()) {
            continue;
        }
        if (const auto found = described.find(port.systemLocation); found != described.end()) {
            if (found->second.description.empty()) {
                found->second.description = port.description;
            }
            port = std::move(found->second);
        }
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        return std::pair(portNumber(a.systemLocation), a.systemLocation) <
               std::pair(portNumber(b.systemLocation), b.systemLocation);
    });
    return ports;
}

std::optional<DetectedPort> detectedPort(const std::string& device) {
    for (DetectedPort& port : detectPorts()) {
        if (port.isNamedBy(device)) {
            return std::move(port);
        }
    }
    return std::nullopt;
}

} // namespace quill
