// The vantri-station program itself: exit codes and the messages a person sees.

#include "StationFixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace stationtest;
namespace fs = std::filesystem;

namespace {

struct CommandRun {
    int status = -1;
    std::string output; // stdout and stderr
};

CommandRun Station(const std::string& arguments, const fs::path& scratch) {
    const fs::path log = scratch / "output.txt";
    const std::string command = std::string("'") + VANTRI_BINARY_DIR + "/vantri-station' " + arguments +
                                " >'" + log.string() + "' 2>&1";
    CommandRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    run.output = text.str();
    return run;
}

TEST(StationCommand, ImportReportsTheFaultyLineAndCheckAcceptsWhatImportWrote) {
    TempFolder folder;
    WriteSilentMp3(folder.path() / "show.mp3", 500);
    WriteText(folder.path() / "bad.log", "[20:00:01] <a> hi\n[20:00:02] <b> hi\nthis line has no time\n");
    WriteText(folder.path() / "good.log", "2024-03-03 20:00:05\t@a\thi\n");
    const std::string archive = "'" + (folder.path() / "archive").string() + "'";
    const std::string common = " --station 2 --stream 1 --station-name 'Two' --mp3 '" +
                               (folder.path() / "show.mp3").string() +
                               "' --start '2024-03-03 20:00:00+01:00'";

    CommandRun run =
        Station("import " + archive + common + " --chat '" + (folder.path() / "bad.log").string() + "'",
                folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("bad.log:3:"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(folder.path() / "archive/stations/2"));

    // The log's clock follows the zone of --start: 20:00:05 at +01:00 is 5 s into a show starting
    // 20:00:00+01:00.
    run = Station("import " + archive + common + " --chat '" + (folder.path() / "good.log").string() + "'",
                  folder.path());
    EXPECT_EQ(run.status, 0) << run.output;
    std::ifstream chat(folder.path() / "archive/stations/2/streams/1/chat.txt");
    std::stringstream rows;
    rows << chat.rdbuf();
    EXPECT_NE(rows.str().find("0:00:05\tmessage\ta\thi"), std::string::npos) << rows.str();

    run = Station("check " + archive, folder.path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("station 2 \"Two\" at /station/2/: 1 streams"), std::string::npos)
        << run.output;
}

TEST(StationCommand, UnknownOptionsAndMissingArgumentsAreRefused) {
    TempFolder folder;
    EXPECT_EQ(Station("serve '" + folder.path().string() + "' --prot 1", folder.path()).status, 1);
    EXPECT_EQ(Station("import '" + folder.path().string() + "' --station 1", folder.path()).status, 1);
    EXPECT_EQ(Station("frobnicate", folder.path()).status, 2);
    const CommandRun missing = Station("serve '" + (folder.path() / "none").string() + "'", folder.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("does not exist"), std::string::npos) << missing.output;
}

TEST(StationCommand, HelpUnknownOptionsAndRangesAreReportedPlainly) {
    TempFolder folder;
    for (const char* help : {"--help", "-h", "serve --help"}) {
        const CommandRun run = Station(help, folder.path());
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_NE(run.output.find("usage:"), std::string::npos) << help;
    }
    MakeSmallArchive(folder.path() / "archive");
    const std::string archive = "'" + (folder.path() / "archive").string() + "'";
    CommandRun run = Station("serve " + archive + " --bogus 1", folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("unknown option --bogus"), std::string::npos) << run.output;
    run = Station("serve " + archive + " --bogus", folder.path());
    EXPECT_NE(run.output.find("unknown option"), std::string::npos) << run.output;
    run = Station("serve " + archive + " --port 70000", folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("--port must be a number from 0 to 65535"), std::string::npos) << run.output;
    run = Station("serve " + archive + " --chunk-size 0", folder.path());
    EXPECT_NE(run.output.find("--chunk-size"), std::string::npos) << run.output;
}

TEST(StationCommand, CheckReportsAnUpdateOfferedWithoutAnInstaller) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    WriteText(folder.path() / "server.conf", "update-version = 20\n");
    const CommandRun run = Station("check '" + folder.path().string() + "'", folder.path());
    EXPECT_NE(run.output.find("offers an update but names no 'update-installer'"), std::string::npos)
        << run.output;
}

} // namespace
