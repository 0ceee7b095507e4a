#pragma once

#include <string>

#include "protocol/configuration_file.h"

namespace cli {

// The time a backup is stamped with: now, UTC, ISO 8601.
std::string UtcNow();

}  // namespace cli
