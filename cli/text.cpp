#include "cli/text.h"

#include <utility>

#include "base/ascii_case.h"

namespace cli {

std::string Lower(std::string text) {
    return corvexa::base::AsciiLower(std::move(text));
}

}  // namespace cli
