#pragma once

// A fake /sys/class/tty and /dev in a throw-away folder, for the port list.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace serial_test {

namespace fs = std::filesystem;

// A throw-away folder with a fake /sys and /dev inside.
class FakeSystem {
public:
    FakeSystem() {
        char pattern[] = "/tmp/corvexa-sysfs-XXXXXX";
        m_root = ::mkdtemp(pattern);
        fs::create_directories(ttyClass());
        fs::create_directories(dev());
    }
    ~FakeSystem() { fs::remove_all(m_root); }

    std::string ttyClass() const { return (m_root / "sys/class/tty").string(); }
    std::string dev() const { return (m_root / "dev").string(); }

    // A device folder under sys/devices bound to a driver.
    fs::path device(const std::string& path, const std::string& driver) {
        const fs::path dir = m_root / "sys/devices" / path;
        fs::create_directories(dir);
        const fs::path drv = m_root / "sys/bus/drivers" / driver;
        fs::create_directories(drv);
        fs::create_directory_symlink(drv, dir / "driver");
        return dir;
    }
    // A device folder no driver claims.
    fs::path bareDevice(const std::string& path) {
        const fs::path dir = m_root / "sys/devices" / path;
        fs::create_directories(dir);
        return dir;
    }
    // Marks a folder as a USB device with an optional product string and
    // serial number.
    void usbDevice(const std::string& path, const std::string& product,
                   const std::string& serialNumber = "") {
        const fs::path dir = m_root / "sys/devices" / path;
        fs::create_directories(dir);
        write(dir / "idVendor", "0403\n");
        write(dir / "idProduct", "6001\n");
        if (!product.empty()) {
            write(dir / "product", product + "\n");
        }
        if (!serialNumber.empty()) {
            write(dir / "serial", serialNumber + "\n");
        }
    }
    // The stable name udev gives a USB adapter: a relative link in
    // dev/serial/by-id.
    void byIdLink(const std::string& linkName, const std::string& tty) {
        const fs::path dir = fs::path(dev()) / "serial/by-id";
        fs::create_directories(dir);
        fs::create_symlink("../../" + tty, dir / linkName);
    }
    // An adapter pulled: its class entry (and by-id links) go away.
    void removeTty(const std::string& name) {
        fs::remove_all(fs::path(ttyClass()) / name);
        std::error_code ec;
        for (const auto& link : fs::directory_iterator(fs::path(dev()) / "serial/by-id", ec)) {
            if (fs::read_symlink(link.path()).filename() == name) {
                fs::remove(link.path());
            }
        }
    }
    // The class entry of a tty, linked to its device when it has one.
    void tty(const std::string& name, const fs::path& device, const char* type = nullptr) {
        const fs::path dir = fs::path(ttyClass()) / name;
        fs::create_directories(dir);
        if (!device.empty()) {
            fs::create_directory_symlink(device, dir / "device");
        }
        if (type != nullptr) {
            write(dir / "type", std::string(type) + "\n");
        }
    }
    void devNode(const std::string& name, const std::string& target) {
        fs::create_symlink(target, fs::path(dev()) / name);
    }

private:
    static void write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text;
    }
    fs::path m_root;
};

}  // namespace serial_test
