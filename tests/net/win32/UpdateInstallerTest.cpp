// The update installer on Windows: a download signed with the makers' key is kept as "VantriUpdate.exe"
// in a private folder under the temporary folder and started with "/S" and "/D=" followed by the
// program's folder with its trailing backslash, and its folder goes once it has ended; one that is not
// signed by the makers is deleted and never started. The installer is a stand-in built with the tests,
// which writes down its arguments.

#include "net/CatalogueHarness.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateDownload.h"
#include "support/CatalogueResponses.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNotSigned =
    "The downloaded update is not signed by the makers of Vantri. It was deleted and not started.";
// Wine starts a process slowly on a busy machine.
constexpr std::chrono::milliseconds kStartTimeout(60000);

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The response: the header, the installer in data records, and the signature record when there is one.
std::string DownloadBody(std::string_view installer, std::string_view signature) {
    std::string body = RecordFields().Byte(1).Int32(static_cast<std::int32_t>(installer.size())).Record(254);
    for (std::size_t at = 0; at < installer.size(); at += 2045) {
        const std::string_view part = installer.substr(at, 2045);
        body += RecordFields().CountedBytes(part, static_cast<int>(part.size())).Record(253);
    }
    if (!signature.empty())
        body += RecordFields().CountedBytes(signature, static_cast<int>(signature.size())).Record(252);
    return body;
}

class WindowsUpdateInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(downloads());
        fs::create_directories(program());
        fs::create_directories(records());
        installer = ReadAll(VANTRI_TEST_INSTALLER);
        ASSERT_GT(installer.size(), 1000u);
    }

    fs::path downloads() const { return scratch.path() / "Temp"; }
    fs::path program() const { return scratch.path() / "Apps" / "Vantri Player"; }
    fs::path records() const { return scratch.path() / "started"; }
    static std::string Signature(const std::string& key) {
        return ReadAll(fs::path(VANTRI_TEST_SIGNING_DIR) / ("installer." + key + ".minisig"));
    }

    std::unique_ptr<MyNetworkPacket_RequestApplicationUpdateDownload> Exchange() {
        MyNetworkPacket_RequestApplicationUpdateDownload::Options options;
        options.downloadFolder = downloads().u16string();
        options.programFolder = program().u16string() + u"\\";
        options.publicKeys = {ReadAll(fs::path(VANTRI_TEST_SIGNING_DIR) / "makers.pub")};
        return std::make_unique<MyNetworkPacket_RequestApplicationUpdateDownload>(
            nullptr, StationConnectionData("upd.example"), options);
    }
    // The arguments of every start of the stand-in so far, each start's joined by spaces.
    std::vector<std::string> Starts() const {
        std::vector<std::string> starts;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(records(), error)) {
            if (entry.path().extension() != ".txt")
                continue;
            std::istringstream lines(ReadAll(entry.path()));
            std::string line;
            std::string joined;
            while (std::getline(lines, line))
                joined += (joined.empty() ? "" : " ") + line;
            starts.push_back(joined);
        }
        return starts;
    }
    bool DownloadsEmpty() const { return fs::is_empty(downloads()); }

    ScratchFolder scratch;
    ScopedEnvironment recordsFolder{"VANTRI_TEST_INSTALLER_RECORDS", records().string()};
    RecordingMessageBoxes boxes;
    std::string installer;
};

TEST_F(WindowsUpdateInstallerTest, ASignedInstallerIsStartedWithTheSilentArguments) {
    const std::string body = DownloadBody(installer, Signature("makers"));
    auto exchange = Exchange();
    std::vector<std::size_t> cuts;
    for (std::size_t at = 1; at < body.size(); at += 1500)
        cuts.push_back(at);
    EXPECT_FALSE(FeedBody(*exchange, body, cuts));
    EXPECT_TRUE(exchange->installerStarted());
    EXPECT_EQ(exchange->received(), installer.size());

    ASSERT_TRUE(WaitFor([&] { return !Starts().empty(); }, kStartTimeout));
    // The folder is given raw after "/D=", spaces included, as installers read it: the C runtime's
    // splitting shows it as two arguments.
    EXPECT_EQ(Starts(), std::vector<std::string>{"/S /D=" + program().string() + "\\"});

    const fs::path file(exchange->filePath());
    EXPECT_EQ(file.filename(), "VantriUpdate.exe");
    EXPECT_EQ(file.parent_path().parent_path(), downloads());
    // The system's thread pool deletes the installer and its folder once it has ended.
    EXPECT_TRUE(WaitFor([&] { return DownloadsEmpty(); }, kStartTimeout));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(WindowsUpdateInstallerTest, AnInstallerNotSignedByTheMakersIsDeletedAndNeverStarted) {
    std::string altered = installer;
    altered[altered.size() / 2] ^= 0x20;
    const struct {
        const char* name;
        std::string body;
    } cases[] = {
        {"stranger's key", DownloadBody(installer, Signature("stranger"))},
        {"altered installer", DownloadBody(altered, Signature("makers"))},
        {"no signature", DownloadBody(installer, "")},
    };
    for (const auto& c : cases) {
        RecordingMessageBoxes told;
        auto exchange = Exchange();
        FeedBodyInOne(*exchange, c.body);
        // The server's end of the stream, for the response without a signature.
        exchange->Disconnect(NETWORKERROR_NONE);
        EXPECT_FALSE(exchange->installerStarted()) << c.name;
        EXPECT_TRUE(DownloadsEmpty()) << c.name;
        ASSERT_EQ(told.count(), 1u) << c.name;
        EXPECT_EQ(told.utf8()[0], kNotSigned) << c.name;
    }
    // A signed download afterwards is started; it is the only start there ever is.
    auto signedExchange = Exchange();
    FeedBodyInOne(*signedExchange, DownloadBody(installer, Signature("makers")));
    EXPECT_TRUE(signedExchange->installerStarted());
    ASSERT_TRUE(WaitFor([&] { return !Starts().empty(); }, kStartTimeout));
    EXPECT_EQ(Starts().size(), 1u);
}

} // namespace
