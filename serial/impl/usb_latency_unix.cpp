#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/usb_latency.h"

namespace fs = std::filesystem;

namespace serial {

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// The chip maker by USB vendor id, for adapters whose product string does
// not say it.
std::string VendorName(const std::string& vendorId) {
    if (vendorId == "0403") return "FTDI";
    if (vendorId == "10c4") return "Silicon Labs";
    if (vendorId == "1a86") return "WCH";
    if (vendorId == "067b") return "Prolific";
    return vendorId.empty() ? std::string() : "USB " + vendorId;
}

std::string ChipAbove(fs::path dir) {
    std::error_code ec;
    while (!dir.empty() && dir != dir.root_path()) {
        if (fs::exists(dir / "idVendor", ec)) {
            const std::string vendor = VendorName(FirstLine(dir / "idVendor"));
            const std::string product = FirstLine(dir / "product");
            if (product.empty()) return vendor;
            return product.rfind(vendor, 0) == 0 ? product : vendor + " " + product;
        }
        dir = dir.parent_path();
    }
    return {};
}

}  // namespace

PortLatency PortLatencyOf(const std::string& devicePath, bool lower,
                          const std::string& ttyClassDir) {
    PortLatency latency;
    std::error_code ec;
    const fs::path device = fs::path(ttyClassDir) / fs::path(devicePath).filename() / "device";
    const fs::path real = fs::canonical(device, ec);
    if (ec) return latency;
    latency.driver = fs::read_symlink(real / "driver", ec).filename().string();
    latency.chip = ChipAbove(real);
    const fs::path timer = real / "latency_timer";
    if (!fs::exists(timer, ec)) return latency;
    try {
        latency.latencyMs = std::stoi(FirstLine(timer));
    } catch (const std::exception&) {
        return latency;
    }
    if (!lower || *latency.latencyMs <= 1) return latency;
    latency.before = *latency.latencyMs;
    {
        std::ofstream out(timer);
        out << "1\n";
        out.flush();
        if (!out) {
            latency.couldNotLower = true;
            return latency;
        }
    }
    // What the driver took, not what we asked for.
    try {
        latency.latencyMs = std::stoi(FirstLine(timer));
    } catch (const std::exception&) {
    }
    latency.lowered = latency.latencyMs == 1;
    latency.couldNotLower = !latency.lowered;
    return latency;
}

}  // namespace serial
