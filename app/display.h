#pragma once

#include <functional>
#include <string>

// Qt aborts with a long message when it finds no platform to draw on; the
// program checks first and says it in one line instead.
using EnvLookup = std::function<const char*(const char*)>;

// Empty when a display (or an explicit Qt platform) is available, otherwise
// the line to print before exiting.
std::string MissingDisplayMessage(const EnvLookup& getenvFn);
