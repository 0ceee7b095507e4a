#include "serial/impl/win_list_ports.h"

#include <setupapi.h>

#include <cstddef>
#include <cwchar>
#include <string>

namespace {

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}: the COM port device interface.
const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

const wchar_t kDevicePrefix[] = L"\\\\.\\";

constexpr DWORD kDetailBufferBytes = 262;
constexpr DWORD kPropertyBufferBytes = 512;
constexpr DWORD kValueBufferBytes = 128;
constexpr DWORD kKeyNameChars = 256;

// "<text> (err=<code in lower-case hex>)".
[[noreturn]] void RaiseWithCode(const wchar_t* text, DWORD code) {
    wchar_t message[160];
    std::swprintf(message, sizeof message / sizeof message[0], L"%ls (err=%lx)", text,
                  static_cast<unsigned long>(code));
    throw CSerialListException(message);
}

class DeviceSet {
public:
    explicit DeviceSet(HDEVINFO set) : m_set(set) {}
    ~DeviceSet() {
        if (m_set != INVALID_HANDLE_VALUE) {
            ::SetupDiDestroyDeviceInfoList(m_set);
        }
    }
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;
    HDEVINFO get() const { return m_set; }

private:
    HDEVINFO m_set;
};

class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (m_key != nullptr) {
            ::RegCloseKey(m_key);
        }
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    bool open(HKEY parent, const wchar_t* name) {
        return ::RegOpenKeyExW(parent, name, 0, KEY_READ, &m_key) == ERROR_SUCCESS;
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A string property into a fixed buffer, always terminated.
bool ReadProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, std::wstring& out) {
    wchar_t buffer[kPropertyBufferBytes / sizeof(wchar_t)] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                             reinterpret_cast<PBYTE>(buffer), kPropertyBufferBytes,
                                             nullptr)) {
        return false;
    }
    buffer[sizeof buffer / sizeof buffer[0] - 1] = L'\0';
    out = buffer;
    return true;
}

bool ReadValue(HKEY key, const wchar_t* name, std::wstring& out) {
    wchar_t buffer[kValueBufferBytes / sizeof(wchar_t)] = {};
    DWORD size = kValueBufferBytes;
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    buffer[sizeof buffer / sizeof buffer[0] - 1] = L'\0';
    out = buffer;
    return true;
}

// Subkey names of key, index by index, until there are no more.
template <class Visit>
void ForEachSubkey(HKEY key, Visit visit) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[kKeyNameChars + 1] = {};
        DWORD length = kKeyNameChars + 1;
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            return;
        }
        visit(std::wstring(name));
    }
}

bool CanOpenExclusively(const SSerInfo& port) {
    HANDLE handle = ::CreateFileW(port.devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(handle);
    return true;
}

}  // namespace

void ListPortsSetupApi(std::vector<SSerInfo>& ports) {
    DeviceSet set(::SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (set.get() == INVALID_HANDLE_VALUE) {
        RaiseWithCode(L"SetupDiGetClassDevs failed.", ::GetLastError());
    }
    ListComPortInterfaces(set.get(), ports);
}

void ListComPortInterfaces(HDEVINFO set, std::vector<SSerInfo>& ports) {
    // Reused for every device, grown when a path does not fit: interface
    // paths have no useful upper bound (Bluetooth ports run past 128
    // characters). The size field is the record's fixed part, which differs
    // between 32-bit (6) and 64-bit (8) builds.
    std::vector<BYTE> detail(kDetailBufferBytes);
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &kComPortInterface, index,
                                           &interfaceData)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_NO_MORE_ITEMS) {
                break;
            }
            RaiseWithCode(L"SetupDiEnumDeviceInterfaces failed.", err);
        }
        DWORD needed = 0;
        ::SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &needed, nullptr);
        if (needed > detail.size()) {
            detail.resize(needed);
        }
        auto* record = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail.data());
        record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiGetDeviceInterfaceDetailW(
                set, &interfaceData, record, static_cast<DWORD>(detail.size()), nullptr, &device)) {
            RaiseWithCode(L"SetupDiGetDeviceInterfaceDetail failed.", ::GetLastError());
        }
        const size_t pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
        const size_t pathChars = (detail.size() - pathOffset) / sizeof(wchar_t);
        const std::wstring devicePath(record->DevicePath, wcsnlen(record->DevicePath, pathChars));

        std::wstring friendlyName, description, location;
        const bool haveFriendly = ReadProperty(set, device, SPDRP_FRIENDLYNAME, friendlyName);
        const bool haveDescription =
            haveFriendly && ReadProperty(set, device, SPDRP_DEVICEDESC, description);
        const bool haveLocation = ReadProperty(set, device, SPDRP_LOCATION_INFORMATION, location);
        const bool isUsb = haveLocation && location.compare(0, 3, L"USB") == 0;
        if (haveFriendly && haveDescription) {
            ports.push_back(SSerInfo{devicePath, std::wstring(), friendlyName, isUsb, description});
        }
    }
}

void ListPortsProbe(std::vector<SSerInfo>& ports) {
    // Listed whether present or not: these systems cannot tell cheaply.
    for (int n = 1; n <= 16; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        ports.push_back(
            SSerInfo{kDevicePrefix + name, name, std::wstring(), false, std::wstring()});
    }
}

void ReadRegistryPortEntries(HKEY key, bool isUsb, std::vector<SSerInfo>& ports) {
    ForEachSubkey(key, [&](const std::wstring& instance) {
        RegKey entry;
        if (!entry.open(key, instance.c_str())) {
            throw CSerialListException(L"Could not read from HKLM\\Enum\\...\\" + instance);
        }
        std::wstring portName, friendlyName;
        if (!ReadValue(entry.get(), L"PORTNAME", portName)) {
            return;
        }
        ReadValue(entry.get(), L"FRIENDLYNAME", friendlyName);
        SSerInfo info{kDevicePrefix + portName, portName, friendlyName, isUsb, std::wstring()};
        for (SSerInfo& existing : ports) {
            if (existing.portName == portName) {
                existing = info;
                return;
            }
        }
        ports.push_back(info);
    });
}

void ListPortsRegistry(std::vector<SSerInfo>& ports) {
    RegKey root;
    if (!root.open(HKEY_LOCAL_MACHINE, L"Enum")) {
        throw CSerialListException(L"Could not read from HKLM\\Enum");
    }
    ForEachSubkey(root.get(), [&](const std::wstring& enumerator) {
        RegKey enumKey;
        if (!enumKey.open(root.get(), enumerator.c_str())) {
            throw CSerialListException(L"Could not read from HKLM\\Enum\\" + enumerator);
        }
        const bool isUsb = enumerator == L"USBPORTS";
        ForEachSubkey(enumKey.get(), [&](const std::wstring& hardwareId) {
            if (hardwareId != L"*PNP0500" && hardwareId != L"*PNP0501" && !isUsb) {
                return;
            }
            RegKey hardwareKey;
            if (!hardwareKey.open(enumKey.get(), hardwareId.c_str())) {
                throw CSerialListException(L"Could not read from HKLM\\Enum\\" + enumerator +
                                           L"\\" + hardwareId);
            }
            ReadRegistryPortEntries(hardwareKey.get(), isUsb, ports);
        });
    });
}

void ListSerialPorts(std::vector<SSerInfo>& ports, bool dropBusy) {
    ports.clear();
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;  // 276
    if (!::GetVersionExW(&version)) {
        RaiseWithCode(L"Could not get OS version.", ::GetLastError());
    }
    if (version.dwMajorVersion > 4) {
        ListPortsSetupApi(ports);
    } else if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        ListPortsProbe(ports);
    } else {
        ListPortsRegistry(ports);
    }
    PostProcessPorts(ports, dropBusy, CanOpenExclusively);
}
