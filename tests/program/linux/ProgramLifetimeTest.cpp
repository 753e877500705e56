// The built program as its own process on the virtual display: how it ends and how the next start finds
// what it left. An error box open at exit, and a session bus that went away, must neither keep the
// program alive nor keep a later start from becoming the first instance.

#include "ProgramProcess.h"

#include "platform/Environment.h"
#include "platform/InstanceChannel.h"
#include "support/Deadline.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using testsupport::ProgramProcess;
namespace fs = std::filesystem;

class ProgramLifetimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::GetEnv("DISPLAY"))
            GTEST_SKIP() << "no display";
        fs::create_directories(scratch.path() / "run");
        fs::permissions(scratch.path() / "run", fs::perms::owner_all, fs::perm_options::replace);
    }

    // The environment of a start: the scratch folders, no stations, and no session bus unless given.
    std::map<std::string, std::optional<std::string>> Environment(const std::string& audioDriver) {
        return {{"HOME", scratch.path().string()},
                {"XDG_RUNTIME_DIR", (scratch.path() / "run").string()},
                {"XDG_CONFIG_HOME", (scratch.path() / "config").string()},
                {"XDG_DATA_HOME", (scratch.path() / "data").string()},
                {"VANTRI_DIRECTORY", "127.0.0.1:1"},
                {"VANTRI_UPDATE_SERVER", "127.0.0.1:1"},
                {"SDL_AUDIODRIVER", audioDriver},
                {"DBUS_SESSION_BUS_ADDRESS", busAddress}};
    }

    std::unique_ptr<ProgramProcess> Start(const std::string& audioDriver, const std::string& output) {
        return std::make_unique<ProgramProcess>(std::vector<std::string>{program}, Environment(audioDriver),
                                                (scratch.path() / output).string());
    }

    std::string Output(const std::string& name) {
        std::ifstream in(scratch.path() / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The windows captioned "Error!" on the display (a box is up once its window is).
    std::size_t OpenErrorBoxes() {
        const std::string tree = testsupport::RunTool({"xwininfo", "-root", "-tree"});
        std::size_t count = 0;
        for (std::size_t at = tree.find("\"Error!\""); at != std::string::npos;
             at = tree.find("\"Error!\"", at + 1))
            ++count;
        return count;
    }

    bool Listening() { return fs::is_socket(scratch.path() / "run" / "vantri.socket"); }

    // A later start becomes the first instance, and "kill" handed to it ends it cleanly.
    void ExpectANewStartToBeFirst() {
        auto next = Start("dummy", "next.txt");
        ASSERT_TRUE(testsupport::WaitFor([&] { return Listening() || next->WaitForEnd(0ms); }, 20s))
            << Output("next.txt");
        ASSERT_FALSE(next->ended()) << Output("next.txt");
        testsupport::ScopedEnvironment runtime("XDG_RUNTIME_DIR", (scratch.path() / "run").string());
        ASSERT_TRUE(platform::InstanceChannel::Send("vantri", "kill"));
        EXPECT_EQ(next->WaitForEnd(20s), 0) << Output("next.txt");
    }

    const std::string program = std::string(VANTRI_BINARY_DIR) + "/vantri";
    testsupport::ScratchFolder scratch;
    std::string busAddress = "unix:path=" + (scratch.path() / "no-bus").string();
};

TEST_F(ProgramLifetimeTest, AnErrorBoxOpenAtExitEndsWithTheProgramAndLeavesTheNextStartFirst) {
    // No such audio driver: the media thread reports "InitAudio FAILED!" in an error box at start.
    auto first = Start("no-such-driver", "first.txt");
    std::set<pid_t> boxes;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            boxes = testsupport::ForkedChildrenWithOwnSocketsOf(first->pid());
            return !boxes.empty() && Listening() && OpenErrorBoxes() >= boxes.size();
        },
        20s))
        << "no error box came up (SDL's boxes need the X server's core fonts, xfonts-base)\n"
        << Output("first.txt");
    // Whatever this test leaves running ends with it.
    struct KillAtEnd {
        std::set<pid_t>& pids;
        ~KillAtEnd() {
            for (pid_t pid : pids)
                kill(pid, SIGKILL);
        }
    } killAtEnd{boxes};

    // SIGTERM from the session: the program ends through its shutdown although the box is open ...
    ASSERT_EQ(kill(first->pid(), SIGTERM), 0);
    EXPECT_EQ(first->WaitForEnd(20s), 0) << Output("first.txt");
    // ... its box goes with it ...
    EXPECT_TRUE(testsupport::WaitFor(
        [&] {
            for (pid_t box : boxes)
                if (testsupport::ProcessRuns(box))
                    return false;
            return true;
        },
        10s));
    // ... and the next start is the first instance at once.
    ExpectANewStartToBeFirst();
}

TEST_F(ProgramLifetimeTest, ASessionBusThatWentAwayNeitherHangsTheExitNorTheNextStart) {
    testsupport::PrivateSessionBus bus;
    if (!bus.running())
        GTEST_SKIP() << "dbus-daemon could not be started";
    busAddress = bus.address();
    auto first = Start("dummy", "first.txt");
    // Up when the desktop's media controls answer.
    int code = -1;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            const std::string status =
                testsupport::RunTool({"playerctl", "--player=vantri", "status"}, &code);
            return Listening() && code == 0 && status == "Stopped\n";
        },
        20s))
        << Output("first.txt");
    bus.End();
    // Gone for every client once a new one cannot reach it.
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            testsupport::RunTool({"playerctl", "--player=vantri", "status"}, &code);
            return code != 0;
        },
        10s));
    // The program notices the lost bus; SIGTERM still ends it through its shutdown, in time.
    ASSERT_EQ(kill(first->pid(), SIGTERM), 0);
    EXPECT_EQ(first->WaitForEnd(20s), 0) << Output("first.txt");
    busAddress = "unix:path=" + (scratch.path() / "no-bus").string();
    ExpectANewStartToBeFirst();
}

} // namespace
