#pragma once

#include <string>
#include <string_view>

namespace corvexa::sim {

// Whether the text of /proc/locks shows a granted flock on the file with
// this device (major, minor) and inode. Waiters ("->" lines) do not count.
bool FlockHeld(std::string_view procLocks, unsigned major, unsigned minor, unsigned long inode);

// The current /proc/locks, or an empty text when it cannot be read.
std::string ReadProcLocks();

}  // namespace corvexa::sim
