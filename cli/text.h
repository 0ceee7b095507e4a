#pragma once

#include <string>

#include "base/wide_text.h"

namespace cli {

// The command line, the terminal and JSON speak UTF-8; protocol/ speaks
// wide text.
using corvexa::base::FromUtf8;
using corvexa::base::ToUtf8;

// ASCII letters folded to lower case, for names typed in any case.
std::string Lower(std::string text);

// A number with `decimals` places ("0.031"), and in its shortest form
// ("12.5", "100").
std::string Fixed(double value, int decimals);
std::string Shortest(double value);

}  // namespace cli
