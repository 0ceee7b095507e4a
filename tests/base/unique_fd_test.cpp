#include "base/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>

using corvexa::base::BasicUniqueFd;
using corvexa::base::UniqueFd;

namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

int g_closes = 0;
struct CountingClose {
    int operator()(int fd) const {
        ++g_closes;
        return ::close(fd);
    }
};

TEST(UniqueFd, ClosesExactlyOnceWhateverPathOwnershipTakes) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    {
        UniqueFd a(fds[0]);
        UniqueFd b(std::move(a));
        EXPECT_FALSE(a.valid());
        UniqueFd c;
        c = std::move(b);
        EXPECT_EQ(c.get(), fds[0]);
        EXPECT_TRUE(IsOpen(fds[0]));
    }
    EXPECT_FALSE(IsOpen(fds[0]));

    const int kept = UniqueFd(fds[1]).release();
    EXPECT_TRUE(IsOpen(kept));
    ::close(kept);

    g_closes = 0;
    ASSERT_EQ(::pipe(fds), 0);
    {
        BasicUniqueFd<CountingClose> fd(fds[0]);
        EXPECT_EQ(fd.reset(fds[1]), 0);  // what close() returned
        EXPECT_EQ(g_closes, 1);
        EXPECT_EQ(BasicUniqueFd<CountingClose>().reset(), 0);  // nothing held, nothing closed
        EXPECT_EQ(g_closes, 1);
    }
    EXPECT_EQ(g_closes, 2);
    EXPECT_FALSE(IsOpen(fds[1]));
}

}  // namespace
