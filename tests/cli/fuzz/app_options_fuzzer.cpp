// The window program's options (parsed before Qt is touched), whatever the
// arguments: every port and trace path it takes is one the arguments gave,
// and a mistake is said in words.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/options.h"

namespace {

bool Given(const std::vector<std::string>& args, const std::string& path) {
    for (const std::string& a : args) {
        if (a == path) return true;
        const auto equals = a.find('=');
        if (equals != std::string::npos && a.substr(equals + 1) == path) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are separated by NUL bytes, as in argv.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    const SOptions options = ParseOptions(args);
    if (!options.error.empty()) return 0;
    for (const std::string& port : options.ports)
        if (!Given(args, port)) std::abort();
    if (!options.trace.empty() && !Given(args, options.trace)) std::abort();
    if (UsageText("corvexa").empty()) std::abort();
    return 0;
}
