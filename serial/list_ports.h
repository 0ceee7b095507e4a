#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

// One serial port present on the machine.
struct SSerInfo {
    std::wstring devicePath;    // path that opens the port
    std::wstring portName;      // e.g. COM3 or ttyUSB0; empty on the setup-interface way
    std::wstring friendlyName;  // shown to users; ends in "(<port name>)"
    bool isUsb = false;
    std::wstring description;
    // USB adapters only, where the system tells them; empty otherwise.
    std::wstring stableName{};    // a path that survives re-plugging (/dev/serial/by-id/...)
    std::wstring usbVendorId{};   // four hex digits, e.g. 0403
    std::wstring usbProductId{};  // e.g. 6001
    std::wstring serialNumber{};  // the adapter's own serial number
};

// Raised when the ports cannot be listed; carries the wide error text.
class CSerialListException : public std::exception {
public:
    explicit CSerialListException(std::wstring text);
    const std::wstring& Text() const { return m_text; }
    // The text with every character above 0x7F replaced by '?'.
    const char* what() const noexcept override { return m_narrow.c_str(); }

private:
    std::wstring m_text;
    std::string m_narrow;
};

// Empties ports and fills it in discovery order, then applies
// PostProcessPorts. With dropBusy, ports that cannot be opened right now
// (in use elsewhere) are left out.
void ListSerialPorts(std::vector<SSerInfo>& ports, bool dropBusy);

// The rules every way shares, for each record in order: drop it when
// dropBusy is set and canOpen says no; an empty friendly name becomes the
// port name; an empty description becomes the friendly name, cut before
// " (" when that occurs after the start and the first ')' ends the text.
void PostProcessPorts(std::vector<SSerInfo>& ports, bool dropBusy,
                      const std::function<bool(const SSerInfo&)>& canOpen);
