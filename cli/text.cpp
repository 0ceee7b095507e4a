#include "cli/text.h"

#include <cstdio>

#include <utility>

#include "base/ascii_case.h"

namespace cli {

std::string Lower(std::string text) {
    return corvexa::base::AsciiLower(std::move(text));
}

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Shortest(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace cli
