#include "serial/impl/list_ports_unix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/wide_text.h"

namespace fs = std::filesystem;

namespace {

// sysfs and device names are UTF-8; records carry wide text.
using corvexa::base::FromUtf8;
using corvexa::base::ToUtf8;

// One line of a sysfs attribute, without the trailing newline; empty when
// the attribute is missing.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// The USB device (the folder with idVendor) above a tty's device, if any.
bool FindUsbDevice(fs::path dir, fs::path& usbDevice) {
    std::error_code ec;
    while (!dir.empty() && dir != dir.root_path()) {
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            usbDevice = dir;
            return true;
        }
        dir = dir.parent_path();
    }
    return false;
}

std::wstring ErrorText(const std::string& what, int err) {
    char code[32];
    std::snprintf(code, sizeof code, "%lx", static_cast<unsigned long>(err));
    return FromUtf8(what) + L" (err=" + FromUtf8(code) + L")";
}

// The link in <devDir>/serial/by-id that leads to the tty `name`; udev
// makes these relative ("../../ttyUSB0").
std::string StableNameIn(const std::string& devDir, const std::string& name) {
    std::error_code ec;
    const fs::path byId = fs::path(devDir) / "serial" / "by-id";
    for (fs::directory_iterator link(byId, ec), end; !ec && link != end; link.increment(ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(link->path(), linkError);
        if (!linkError && target.filename() == name) {
            return link->path().string();
        }
    }
    return {};
}

// The same exclusive claim serial::Serial makes, released at once.
bool CanOpenExclusively(const SSerInfo& port) {
    const std::string path = ToUtf8(port.devicePath);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

}  // namespace

void ListSerialPortsIn(std::vector<SSerInfo>& ports, bool dropBusy, const std::string& ttyClassDir,
                       const std::string& devDir) {
    ports.clear();
    std::error_code ec;
    fs::directory_iterator it(ttyClassDir, ec);
    if (ec) {
        throw CSerialListException(
            ErrorText("Could not read from " + ttyClassDir + ".", ec.value()));
    }
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            throw CSerialListException(
                ErrorText("Could not read from " + ttyClassDir + ".", ec.value()));
        }
        names.push_back(it->path().filename().string());
    }
    // A stable order, whatever order the kernel lists the class in.
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        const fs::path tty = fs::path(ttyClassDir) / name;
        // Virtual terminals and ptys have no device; a port needs a driver.
        const fs::path device = fs::canonical(tty / "device", ec);
        if (ec) {
            continue;
        }
        if (!fs::exists(device / "driver", ec)) {
            continue;
        }
        // Serial cores list every slot they could have; type 0 means no
        // UART answered there (the usual phantom ttyS1..ttyS31).
        if (fs::exists(tty / "type", ec) && ReadAttribute(tty / "type") == "0") {
            continue;
        }
        SSerInfo info;
        fs::path usbDevice;
        info.isUsb = FindUsbDevice(device, usbDevice);
        std::string description;
        if (info.isUsb) {
            description = ReadAttribute(usbDevice / "product");
            if (description.empty()) {
                description = "USB Serial Port";
            }
            info.usbVendorId = FromUtf8(ReadAttribute(usbDevice / "idVendor"));
            info.usbProductId = FromUtf8(ReadAttribute(usbDevice / "idProduct"));
            info.serialNumber = FromUtf8(ReadAttribute(usbDevice / "serial"));
            info.stableName = FromUtf8(StableNameIn(devDir, name));
        } else {
            description = "Communications Port";
        }
        info.portName = FromUtf8(name);
        info.devicePath = FromUtf8((fs::path(devDir) / name).string());
        info.description = FromUtf8(description);
        info.friendlyName = info.description + L" (" + info.portName + L")";
        ports.push_back(std::move(info));
    }
    PostProcessPorts(ports, dropBusy, CanOpenExclusively);
}

void ListSerialPorts(std::vector<SSerInfo>& ports, bool dropBusy) {
    ListSerialPortsIn(ports, dropBusy, "/sys/class/tty", "/dev");
}
