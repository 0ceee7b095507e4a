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

}  // namespace cli
