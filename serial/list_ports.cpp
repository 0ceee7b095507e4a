#include "serial/list_ports.h"

#include <cstdint>
#include <utility>

CSerialListException::CSerialListException(std::wstring text) : m_text(std::move(text)) {
    m_narrow.reserve(m_text.size());
    for (wchar_t c : m_text) {
        m_narrow.push_back(static_cast<uint32_t>(c) < 0x80 ? static_cast<char>(c) : '?');
    }
}

void PostProcessPorts(std::vector<SSerInfo>& ports, bool dropBusy,
                      const std::function<bool(const SSerInfo&)>& canOpen) {
    for (size_t i = 0; i < ports.size();) {
        SSerInfo& port = ports[i];
        if (dropBusy && !canOpen(port)) {
            ports.erase(ports.begin() + static_cast<std::ptrdiff_t>(i));
            continue;  // the next record moved into place i
        }
        if (port.friendlyName.empty()) {
            port.friendlyName = port.portName;
        }
        if (port.description.empty()) {
            // "Communications Port (COM1)" describes itself as
            // "Communications Port"; anything shaped otherwise stays whole.
            port.description = port.friendlyName;
            const size_t open = port.description.find(L" (");
            const size_t close = port.description.find(L')');
            if (open != std::wstring::npos && open >= 1 && close == port.description.size() - 1) {
                port.description.resize(open);
            }
        }
        ++i;
    }
}
