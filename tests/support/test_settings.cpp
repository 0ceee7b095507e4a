// Linked into every test program: its settings go to a folder of its own
// in the build tree, never to the user's, and the programs it starts
// inherit that. Tests that switch languages then cannot change what
// another test program, or the developer's own program, starts with.

#include <cstdlib>

namespace {

#ifndef _WIN32
const bool kOwnSettings = ::setenv("XDG_CONFIG_HOME", CORVEXA_TEST_CONFIG_HOME, 1) == 0;
#endif

}  // namespace
