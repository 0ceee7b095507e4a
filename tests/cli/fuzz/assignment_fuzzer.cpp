// NAME=VALUE from the command line, whatever the text: refused with words,
// or a word that, shown again as the register's text and parsed once more,
// is the same word. The first byte picks the device's decimal places.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "cli/parameters.h"
#include "protocol/register_table.h"

namespace {

// The word `assignment` gives with `decimals`, or nothing when refused.
std::optional<std::uint16_t> WordOf(const std::string& argument, std::uint16_t decimals) {
    auto parsed = cli::ParseAssignment(argument);
    if (const auto* refused = std::get_if<std::string>(&parsed)) {
        if (refused->empty()) std::abort();
        return std::nullopt;
    }
    cli::Assignment a = std::get<cli::Assignment>(parsed);
    if (a.parameter == nullptr) std::abort();
    if (!a.word) {
        const std::string refused = cli::Resolve(a, decimals);
        if (!refused.empty()) return std::nullopt;
        if (!a.word) std::abort();
    }
    return a.word;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto decimals = static_cast<std::uint16_t>(data[0] % 5);
    const std::string argument(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::optional<std::uint16_t> word = WordOf(argument, decimals);
    if (!word) return 0;
    auto parsed = std::get<cli::Assignment>(cli::ParseAssignment(argument));
    const int index = parsed.parameter->index;
    std::string text = protocol::ExactText(index, *word, {decimals, std::nullopt});
    // A box position no name is known for is written code:N.
    if (parsed.parameter->codes != protocol::CodeTable::None)
        text = "code:" + std::to_string(*word);
    const std::optional<std::uint16_t> again =
        WordOf(std::string(parsed.parameter->name) + "=" + text, decimals);
    if (again != word) std::abort();
    return 0;
}
