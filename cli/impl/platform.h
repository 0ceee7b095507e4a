#pragma once

#include <ctime>

namespace cli {

// Whether standard error is a terminal a person watches (progress is shown
// there only then).
bool StandardErrorIsTerminal();

// `when` as UTC, safe on several threads at once.
std::tm UtcTime(std::time_t when);

}  // namespace cli
