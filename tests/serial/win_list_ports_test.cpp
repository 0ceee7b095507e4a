// The setup-interface way over a device set made in this process, so that
// its paths can be of any length.

#include <windows.h>

#include <setupapi.h>  // needs the types of windows.h

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serial/impl/win_list_ports.h"

namespace {

const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
const GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

class TestDeviceSet {
public:
    TestDeviceSet() : m_set(SetupDiCreateDeviceInfoList(&kPortsClass, nullptr)) {}
    ~TestDeviceSet() {
        for (SP_DEVINFO_DATA& device : m_devices) {
            SetupDiRemoveDevice(m_set, &device);
        }
        SetupDiDestroyDeviceInfoList(m_set);
    }
    HDEVINFO get() const { return m_set; }

    // A port device with one COM port interface; the reference string
    // lengthens the interface path.
    // Returns the step that failed, or nullptr.
    const char* AddPort(const std::wstring& friendlyName, const std::wstring& reference) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiCreateDeviceInfoW(m_set, L"Ports", &kPortsClass, nullptr, nullptr,
                                      DICD_GENERATE_ID, &device)) {
            return "SetupDiCreateDeviceInfo";
        }
        m_devices.push_back(device);
        const std::wstring description = L"Communications Port";
        if (!SetProperty(device, SPDRP_FRIENDLYNAME, friendlyName) ||
            !SetProperty(device, SPDRP_DEVICEDESC, description)) {
            return "SetupDiSetDeviceRegistryProperty";
        }
        if (!SetupDiCreateDeviceInterfaceW(m_set, &device, &kComPortInterface, reference.c_str(), 0,
                                           nullptr)) {
            return "SetupDiCreateDeviceInterface";
        }
        return nullptr;
    }

private:
    bool SetProperty(SP_DEVINFO_DATA& device, DWORD property, const std::wstring& text) {
        return SetupDiSetDeviceRegistryPropertyW(
            m_set, &device, property, reinterpret_cast<const BYTE*>(text.c_str()),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    HDEVINFO m_set;
    std::vector<SP_DEVINFO_DATA> m_devices;
};

// A path longer than the usual detail buffer (Bluetooth serial ports have
// such paths) is read whole, and the ports after it are still listed.
TEST(SetupInterfacePorts, LongInterfacePathDoesNotEndTheList) {
    TestDeviceSet set;
    ASSERT_NE(set.get(), INVALID_HANDLE_VALUE);
    // Past the 128 characters a fixed buffer held, within what Wine takes.
    const std::wstring longReference(200, L'b');
    const char* failed = set.AddPort(L"Standard Serial over Bluetooth link (COM41)", longReference);
    ASSERT_EQ(failed, nullptr) << failed << " failed: " << GetLastError();
    failed = set.AddPort(L"Communications Port (COM42)", L"short");
    ASSERT_EQ(failed, nullptr) << failed << " failed: " << GetLastError();

    std::vector<SSerInfo> ports;
    ListComPortInterfaces(set.get(), ports);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].friendlyName, L"Standard Serial over Bluetooth link (COM41)");
    EXPECT_GT(ports[0].devicePath.size(), 200u);
    EXPECT_EQ(ports[0].devicePath.substr(ports[0].devicePath.size() - 200), longReference);
    EXPECT_EQ(ports[1].friendlyName, L"Communications Port (COM42)");
    EXPECT_EQ(ports[1].description, L"Communications Port");
    EXPECT_EQ(ports[1].portName, L"");
}

}  // namespace
