// Reads arbitrary text as a backup file: it is refused with a reason or
// read, and what is read is written out and read back to the same words.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/configuration_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    protocol::Configuration backup;
    const std::string problem = protocol::ParseConfiguration(text, "f", backup);
    if (!problem.empty()) {
        if (problem.rfind("f", 0) != 0) std::abort();  // every reason names the file
        return 0;
    }
    for (const auto& word : backup.words)
        if (!word) std::abort();
    protocol::Configuration again;
    if (!protocol::ParseConfiguration(protocol::ConfigurationText(backup), "f", again).empty())
        std::abort();
    if (again.words != backup.words || again.time != backup.time || again.port != backup.port)
        std::abort();
    return 0;
}
