// The single-instance rule through the real per-user socket: the channel itself, and whole runs of the
// program on the headless window system, one first instance and later ones that hand over.
#include "app/MyAppContext.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/InstanceChannel.h"
#include "program/MainWindowBase.h"
#include "program/Program.h"
#include "support/Deadline.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

using platform::InstanceChannel;

class SingleInstanceTest : public ::testing::Test {
protected:
    SingleInstanceTest() {
        std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
    }

    std::vector<std::string> Received() {
        std::lock_guard guard(lock);
        return received;
    }
    InstanceChannel::Receiver Receiver() {
        return [this](std::string message) {
            std::lock_guard guard(lock);
            received.push_back(std::move(message));
        };
    }

    testsupport::ScratchFolder runtime;
    testsupport::ScopedEnvironment runtimeDir{"XDG_RUNTIME_DIR", runtime.path().string()};
    std::string name = "vantri-test";
    std::mutex lock;
    std::vector<std::string> received;
};

TEST_F(SingleInstanceTest, TheFirstHoldsTheChannelAndHearsEveryMessageWhole) {
    std::unique_ptr<InstanceChannel> first;
    ASSERT_EQ(InstanceChannel::Open(name, Receiver(), first), InstanceChannel::Claim::First);
    std::unique_ptr<InstanceChannel> second;
    EXPECT_EQ(InstanceChannel::Open(name, Receiver(), second), InstanceChannel::Claim::Second);
    EXPECT_EQ(second, nullptr);
    // Send returns once the first instance has taken the message.
    ASSERT_TRUE(InstanceChannel::Send(name, ""));
    ASSERT_TRUE(InstanceChannel::Send(name, "vantri:track-1-7-5"));
    // The longest line that fits the 1024-unit buffer a link is parsed in: 1023 characters of three bytes.
    std::string longest = "vantri:track-1-7-5 ";
    while (longest.size() + 3 <= 1023 * 3)
        longest += "\xE2\x82\xAC";
    ASSERT_TRUE(InstanceChannel::Send(name, longest));
    const auto got = Received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], "");
    EXPECT_EQ(got[1], "vantri:track-1-7-5");
    EXPECT_EQ(got[2], longest);
    EXPECT_EQ(std::filesystem::path(first->path()).parent_path(), runtime.path());
    EXPECT_EQ(std::filesystem::status(first->path()).permissions() & std::filesystem::perms::others_all,
              std::filesystem::perms::none);
}

TEST_F(SingleInstanceTest, ALineTooLongToBeWholeArrivesEmptyAndNeverCut) {
    std::unique_ptr<InstanceChannel> first;
    ASSERT_EQ(InstanceChannel::Open(name, Receiver(), first), InstanceChannel::Claim::First);
    // Whole, this line is no link (it does not fit the buffer); cut anywhere before its end, its start
    // would be one: a different link than the line's own track form.
    std::string line = "vantri:stream-1-2 ";
    line += std::string(InstanceChannel::kMaxMessageBytes, ' ');
    line += "track-3-4-5";
    ASSERT_TRUE(InstanceChannel::Send(name, line));
    ASSERT_TRUE(InstanceChannel::Send(name, std::string(5000, 'x')));
    // One byte more than the most taken is already too long.
    ASSERT_TRUE(InstanceChannel::Send(name, std::string(InstanceChannel::kMaxMessageBytes + 1, 'y')));
    ASSERT_TRUE(InstanceChannel::Send(name, std::string(InstanceChannel::kMaxMessageBytes, 'z')));
    EXPECT_EQ(Received(),
              (std::vector<std::string>{"", "", "", std::string(InstanceChannel::kMaxMessageBytes, 'z')}));
}

TEST_F(SingleInstanceTest, ARuntimeFolderOthersCanEnterIsNotUsed) {
#ifdef _WIN32
    GTEST_SKIP() << "folder modes are POSIX's; Windows has no runtime folder";
#endif
    testsupport::ScratchFolder temp;
    testsupport::ScopedEnvironment tmpdir("TMPDIR", temp.path().string());
    EXPECT_EQ(InstanceChannel::Folder(), runtime.path().string());
    std::filesystem::permissions(runtime.path(),
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                     std::filesystem::perms::group_exec |
                                     std::filesystem::perms::others_read |
                                     std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::replace);
    // The private folder of the user's own in the temporary folder instead.
    const std::string folder = InstanceChannel::Folder();
    EXPECT_EQ(std::filesystem::path(folder).parent_path(), temp.path());
    std::unique_ptr<InstanceChannel> first;
    ASSERT_EQ(InstanceChannel::Open(name, Receiver(), first), InstanceChannel::Claim::First);
    EXPECT_EQ(std::filesystem::path(first->path()).parent_path().string(), folder);
    EXPECT_FALSE(std::filesystem::exists(runtime.path() / (name + ".socket")));
}

TEST_F(SingleInstanceTest, WithoutAFirstInstanceNothingTakesTheMessage) {
    EXPECT_FALSE(InstanceChannel::Send(name, "kill"));
}

TEST_F(SingleInstanceTest, AChannelLeftByACrashedInstanceIsTakenOver) {
    // What a crash leaves: the socket file and the lock file, with nobody holding the lock.
    std::ofstream(runtime.path() / (name + ".socket")) << "stale";
    std::ofstream(runtime.path() / (name + ".lock")) << "";
    std::unique_ptr<InstanceChannel> first;
    ASSERT_EQ(InstanceChannel::Open(name, Receiver(), first), InstanceChannel::Claim::First);
    ASSERT_TRUE(InstanceChannel::Send(name, "debug"));
    EXPECT_EQ(Received(), (std::vector<std::string>{"debug"}));
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(runtime.path() / (name + ".socket")));
    // The next start is first again.
    ASSERT_EQ(InstanceChannel::Open(name, Receiver(), first), InstanceChannel::Claim::First);
}

TEST_F(SingleInstanceTest, AFolderOthersCanEnterIsNotUsedAsTheFallback) {
    testsupport::ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    testsupport::ScratchFolder temp;
    testsupport::ScopedEnvironment tmpdir("TMPDIR", temp.path().string());
    const std::string folder = InstanceChannel::Folder();
    EXPECT_EQ(std::filesystem::path(folder).parent_path(), temp.path());
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::group_all,
              std::filesystem::perms::none);
    std::filesystem::permissions(folder, std::filesystem::perms::all, std::filesystem::perm_options::replace);
    EXPECT_EQ(InstanceChannel::Folder(), "");
}

// Whole runs of the program: the first on a thread of its own, later ones on the test's thread.
class ProgramRunTest : public SingleInstanceTest {
protected:
    ~ProgramRunTest() override {
        if (first.joinable()) {
            InstanceChannel::Send(name, "kill");
            first.join();
        }
    }

    ProgramOptions Options() {
        ProgramOptions options;
        options.instanceName = name;
        options.openWindowSystem = [] { return std::make_unique<platform::HeadlessWindowSystem>(); };
        return options;
    }

    void StartFirst(const std::string& commandLine) {
        ProgramOptions options = Options();
        options.started = [this](MainWindowBase&, MyAppContext& context) { firstContext = &context; };
        first = std::thread([this, options, commandLine] {
            exitCode = RunProgram(commandLine, options);
            ended = true;
        });
        ASSERT_TRUE(testsupport::WaitFor([&] { return firstContext.load() != nullptr; }));
    }

    testsupport::ScratchFolder config;
    testsupport::ScopedEnvironment configDir{"XDG_CONFIG_HOME", config.path().string()};
    // Nothing answers there: the program runs without stations.
    testsupport::ScopedEnvironment directory{"VANTRI_DIRECTORY", "127.0.0.1:1"};
    testsupport::ScopedEnvironment update{"VANTRI_UPDATE_SERVER", "127.0.0.1:1"};
    testsupport::ScopedEnvironment audio{"SDL_AUDIODRIVER", "dummy"};
    std::thread first;
    std::atomic<MyAppContext*> firstContext{nullptr};
    std::atomic<bool> ended{false};
    std::atomic<int> exitCode{-1};
};

TEST_F(ProgramRunTest, KillAsTheFirstInstanceStartsNormallyAndFromASecondEndsTheFirst) {
    StartFirst("kill");
    EXPECT_FALSE(ended);
    EXPECT_EQ(RunProgram("", Options()), 0); // brought to the front, nothing else
    for (const char* ignored : {"debug", "Kill", "kill now"})
        EXPECT_EQ(RunProgram(ignored, Options()), 0);
    EXPECT_FALSE(ended);
    EXPECT_EQ(RunProgram("kill", Options()), 0);
    ASSERT_TRUE(testsupport::WaitFor([&] { return ended.load(); }, std::chrono::seconds(15)));
    first.join();
    EXPECT_EQ(exitCode, 0);
}

TEST_F(ProgramRunTest, ALinkFromASecondInstanceSwitchesTheStream) {
    StartFirst("");
    EXPECT_EQ(RunProgram("vantri:track-1-7-5", Options()), 0);
    // The station is not known (no directory): the media thread keeps the link as the start link.
    EXPECT_TRUE(testsupport::WaitFor([&] {
        return firstContext.load()->startLink.Get() == MyLinkValue{1, 7, 5};
    }));
    EXPECT_EQ(firstContext.load()->debug, 0);
}

TEST_F(ProgramRunTest, TheFirstInstanceReadsItsOwnCommandLine) {
    StartFirst("debug");
    EXPECT_EQ(firstContext.load()->debug, 1);
    EXPECT_TRUE(firstContext.load()->startLink.empty());
}

} // namespace
