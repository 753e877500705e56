// The channel is this user's alone: a second start hands its command line only to a listener of its own
// user (a socket of another user's process in the channel's place is refused, and nothing is sent to it),
// and a runtime folder of another user's is not used.

#include "platform/InstanceChannel.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::InstanceChannel;

TEST(InstanceListener, AListenerOfAnotherUserIsRefusedAndGetsNothing) {
    if (geteuid() != 0)
        GTEST_SKIP() << "making a listener of another user needs root";
    testsupport::ScratchFolder runtime;
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    testsupport::ScopedEnvironment runtimeDir("XDG_RUNTIME_DIR", runtime.path().string());
    const std::string path = (runtime.path() / "vantri-stranger.socket").string();

    // The stranger: binds the socket as this user, then listens as "nobody" (the credentials a client
    // sees are those of listen). It reports how many bytes any connection brought.
    int ready[2];
    int report[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(report), 0);
    const pid_t stranger = fork();
    ASSERT_GE(stranger, 0);
    if (stranger == 0) {
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0 ||
            listen(listener, 4) != 0)
            _exit(1);
        const char one = 1;
        (void)!write(ready[1], &one, 1);
        const int connection = accept(listener, nullptr, nullptr);
        long bytes = 0;
        char buffer[256];
        for (ssize_t got; connection >= 0 && (got = read(connection, buffer, sizeof buffer)) > 0;)
            bytes += got;
        (void)!write(report[1], &bytes, sizeof bytes);
        _exit(0);
    }
    close(ready[1]);
    close(report[1]);
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);

    EXPECT_EQ(InstanceChannel::Deliver("vantri-stranger", "vantri:track-1-7-5"),
              InstanceChannel::Delivery::Refused);
    EXPECT_FALSE(InstanceChannel::Send("vantri-stranger", "kill"));
    // The refused connections are closed: the stranger saw each end without a byte.
    long bytes = -1;
    EXPECT_EQ(read(report[0], &bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
    EXPECT_EQ(bytes, 0);
    kill(stranger, SIGKILL);
    int status = 0;
    waitpid(stranger, &status, 0);
    close(ready[0]);
    close(report[0]);
}

TEST(InstanceListener, ARuntimeFolderOfAnotherUserIsNotUsed) {
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    testsupport::ScratchFolder runtime;
    testsupport::ScratchFolder temp;
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    testsupport::ScopedEnvironment runtimeDir("XDG_RUNTIME_DIR", runtime.path().string());
    testsupport::ScopedEnvironment tmpdir("TMPDIR", temp.path().string());
    EXPECT_EQ(InstanceChannel::Folder(), runtime.path().string());
    ASSERT_EQ(chown(runtime.path().c_str(), 65534, 65534), 0);
    EXPECT_EQ(std::filesystem::path(InstanceChannel::Folder()).parent_path(), temp.path());
    ASSERT_EQ(chown(runtime.path().c_str(), 0, 0), 0);
}

} // namespace
