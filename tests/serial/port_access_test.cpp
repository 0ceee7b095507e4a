#include <errno.h>
#include <grp.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "pty_pair.h"
#include "serial/port_access.h"
#include "serial/serial_com_imp.h"

namespace {

using serial::OpenProblem;

// The engine keeps the system's error number of a failed open; the words
// for it name the port and what to do about it.
TEST(PortAccess, AnOpenFailureSaysWhyAndWhatToDo) {
    using Engine = SerialComImp<IComHanlder, 64>;
    Engine engine("/dev/corvexa-missing", 9600, serial::Timeout::Total(50), serial::eightbits,
                  serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
    ASSERT_FALSE(engine.Open());
    EXPECT_EQ(engine.LastOpenFailure().errorNumber, ENOENT);

    // Access rights come from the device's group; root opens everything, so
    // the group is given to a file of our own.
    char file[] = "/tmp/corvexa-port-XXXXXX";
    const int fd = ::mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const group* dialout = ::getgrnam("dialout");
    const std::string groupName = dialout != nullptr && ::chown(file, -1, dialout->gr_gid) == 0
                                      ? "dialout"
                                      : std::to_string(::getegid());

    serial_test::PtyPair held;
    serial::Serial holder(held.slavePath(), 9600, serial::Timeout::Total(50));
    struct Case {
        std::string port;
        int error;
        OpenProblem problem;
        std::string text;
    } cases[] = {
        {"ttyCorvexa9", ENOENT, OpenProblem::NoSuchPort,
         "no such port: /dev/ttyCorvexa9; `corvexa-cli ports`"},
        {file, EACCES, OpenProblem::NoPermission,
         "permission denied on " + std::string(file) + " (group " + groupName +
             "): join the group with `sudo usermod -aG " + groupName +
             " $USER`, then log in again"},
        {held.slavePath(), EBUSY, OpenProblem::Busy,
         "port busy: " + held.slavePath() + " is in use by this program"},
        {held.slavePath(), EIO, OpenProblem::Other, "cannot open " + held.slavePath() + ": "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = serial::DiagnoseOpenFailure(c.port, c.error, "");
        EXPECT_EQ(d.problem, c.problem);
        EXPECT_EQ(d.text.rfind(c.text, 0), 0u) << d.text;
    }
    ::unlink(file);

    serial_test::PtyPair free;
    EXPECT_EQ(serial::ProbePort(free.slavePath()), serial::PortState::Free);
    EXPECT_EQ(serial::ProbePort(held.slavePath()), serial::PortState::Busy);
    EXPECT_EQ(serial::ProbePort("/dev/corvexa-missing"), serial::PortState::Missing);
}

}  // namespace
