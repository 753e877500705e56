// What a child forked without exec gets: the descriptors kept from children are closed in it, the signal
// mask is the one from before the program took SIGINT and SIGTERM, and inside a ChildEndsWithParent
// scope it is to be ended when its parent ends. Each child reports by its exit code.

#include "platform/linux/ForkedChildren.h"
#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace platform::linux_backend;

// Forks a child that answers `check()` as its exit code (0 when it holds) and waits for it.
template <typename Check> int InChild(Check check) {
    const pid_t child = fork();
    if (child == 0)
        _exit(check() ? 0 : 1);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

bool TerminationBlocked() {
    sigset_t mask;
    sigemptyset(&mask);
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, SIGTERM) == 1;
}

int DeathSignal() {
    int signal = 0;
    prctl(PR_GET_PDEATHSIG, &signal);
    return signal;
}

TEST(ForkedChildren, DescriptorsKeptFromChildrenAreClosedInThemOnlyWhileTheRuleLives) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    {
        const ChildlessDescriptor kept(fds[0]);
        EXPECT_EQ(InChild([&] { return !IsOpen(fds[0]) && IsOpen(fds[1]); }), 0);
        EXPECT_TRUE(IsOpen(fds[0])); // the parent's stays open
    }
    EXPECT_EQ(InChild([&] { return IsOpen(fds[0]); }), 0);
    close(fds[0]);
    close(fds[1]);
}

TEST(ForkedChildren, ChildrenGetTheSignalMaskFromBeforeTheProgramTookTerminationSignals) {
    ASSERT_FALSE(TerminationBlocked());
    {
        const platform::TerminationSignals signals([] {});
        ASSERT_TRUE(TerminationBlocked());
        EXPECT_EQ(InChild([] { return !TerminationBlocked(); }), 0);
    }
    EXPECT_FALSE(TerminationBlocked());
}

TEST(ForkedChildren, OnlyChildrenForkedInsideTheScopeEndWithTheirParent) {
    EXPECT_EQ(InChild([] { return DeathSignal() == 0; }), 0);
    {
        const ChildEndsWithParent scope;
        EXPECT_EQ(InChild([] { return DeathSignal() == SIGTERM; }), 0);
    }
    EXPECT_EQ(InChild([] { return DeathSignal() == 0; }), 0);
}

} // namespace
