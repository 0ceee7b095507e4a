#include "sim/proc_locks.h"

#include <gtest/gtest.h>

namespace corvexa::sim {
namespace {

struct LocksCase {
    const char* name;
    const char* text;
    bool held;  // for device 0x88:0x1a, inode 5
};

void PrintTo(const LocksCase& c, std::ostream* os) {
    *os << c.name;
}

const LocksCase kLocks[] = {
    {"Held", "1: FLOCK  ADVISORY  WRITE 16102 88:1a:5 0 EOF\n", true},
    {"HeldAmongOthers",
     "1: POSIX  ADVISORY  WRITE 77 88:1a:5 0 EOF\n"
     "2: FLOCK  ADVISORY  WRITE 8261 00:1a:4 0 EOF\n"
     "3: FLOCK  ADVISORY  READ  8262 88:1a:5 0 EOF\n",
     true},
    {"NoLocks", "", false},
    {"OtherInode", "1: FLOCK  ADVISORY  WRITE 1 88:1a:55 0 EOF\n", false},
    {"OtherDevice", "1: FLOCK  ADVISORY  WRITE 1 88:1b:5 0 EOF\n", false},
    // A record lock on the same file is not the program's flock.
    {"PosixLockOnly", "1: POSIX  ADVISORY  WRITE 77 88:1a:5 0 EOF\n", false},
    // A waiter has not got the lock.
    {"WaiterOnly", "1: -> FLOCK  ADVISORY  WRITE 9 88:1a:5 0 EOF\n", false},
    {"Garbage", "1: FLOCK ADVISORY WRITE x 88:1a:5x 0 EOF\nnonsense\n", false},
};

class ProcLocks : public ::testing::TestWithParam<LocksCase> {};

TEST_P(ProcLocks, FindsAGrantedFlockOnTheSlave) {
    EXPECT_EQ(FlockHeld(GetParam().text, 0x88, 0x1a, 5), GetParam().held);
}

INSTANTIATE_TEST_SUITE_P(Texts, ProcLocks, ::testing::ValuesIn(kLocks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvexa::sim
