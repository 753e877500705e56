// The two update exchanges and the update question: when the question is asked, how the information and
// download parsers treat good and bad responses, and that only an installer signed with one of the makers'
// keys for a newer version ever runs, from a private folder that goes when it has ended, with "/S" and
// "/D=<program folder>/"; an installer that cannot run is reported, a noexec temporary folder by name.

#include "app/MyCallbacks.h"
#include "net/CatalogueHarness.h"
#include "net/MyNetworkHandlerMessages.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateDownload.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateInfo.h"
#include "net/UpdatePrompt.h"
#include "platform/ChildProcess.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/PostTarget.h"
#include "platform/Utf.h"
#include "records/UpdateInstaller.h"
#include "support/CatalogueResponses.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNotSigned =
    "The downloaded update is not signed by the makers of Vantri. It was deleted and not started.";
constexpr const char* kIncomplete =
    "The update download ended before it was complete. It was deleted and not started.";
constexpr const char* kNotNewer = "The downloaded update installs version 0.19, which is not newer than this "
                                  "Vantri (version 0.19). It was deleted and not started.";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string InfoRecord(std::int32_t version, std::uint8_t type = 255, std::uint8_t formatVersion = 1) {
    return RecordFields().Byte(formatVersion).Int32(version).Record(type);
}

std::string DownloadHeader(std::int32_t total, std::uint8_t formatVersion = 1) {
    return RecordFields().Byte(formatVersion).Int32(total).Record(254);
}

// The installer in data records of at most `piece` bytes.
std::string DataRecords(std::string_view bytes, std::size_t piece = 2045) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::string_view part = bytes.substr(at, piece);
        out += RecordFields().CountedBytes(part, static_cast<int>(part.size())).Record(253);
    }
    return out;
}

std::string SignatureRecord(std::string_view signature) {
    return RecordFields().CountedBytes(signature, static_cast<int>(signature.size())).Record(252);
}

class UpdateInfoTest : public ::testing::Test {
protected:
    UpdateInfoTest() {
        context.callbacks = &callbacks;
        context.mainWindowHandle = &window;
    }
    // The versions of the NewApplicationVersion callbacks posted so far.
    std::vector<std::uint32_t> Posted() {
        std::vector<std::uint32_t> versions;
        platform::WindowMessage message;
        while (window.Take(message, 0)) {
            auto callback = MyCallbacks::Receive(message.wParam);
            EXPECT_EQ(callback->type, MyCallbacks::MessageType_NewApplicationVersion);
            versions.push_back(
                static_cast<MyCallbacks::MyMainWindowMessage_NewApplicationVersionCallback&>(*callback)
                    .version);
        }
        return versions;
    }
    std::unique_ptr<MyNetworkPacket_RequestApplicationUpdateInfo> Exchange() {
        return std::make_unique<MyNetworkPacket_RequestApplicationUpdateInfo>(
            &context, StationConnectionData("upd.example"));
    }

    RecordingMessageBoxes boxes;
    platform::MessageQueue window;
    MyAppContext context;
    MyCallbacks callbacks{&context};
};

TEST_F(UpdateInfoTest, RequestCarriesTheProgramVersion) {
    EXPECT_EQ(Exchange()->RequestText().rfind(
                  "GET /getvantriversioninfo/version19 HTTP/1.1\r\nHOST: upd.example\r\n", 0),
              0u);
    context.debug = 1;
    EXPECT_EQ(Exchange()->RequestText().rfind("GET /getvantriversioninfo/version19&debug HTTP/1.1\r\n", 0),
              0u);
}

TEST_F(UpdateInfoTest, OnlyANewerVersionIsPostedWhereverTheResponseIsCut) {
    for (std::int32_t version : {19, 20, 0, -1}) {
        const std::string body = InfoRecord(version);
        for (std::size_t cut = 0; cut <= body.size(); ++cut) {
            auto exchange = Exchange();
            EXPECT_FALSE(FeedBody(*exchange, body, {cut})) << version << " cut at " << cut;
            EXPECT_EQ(exchange->newestVersion(), static_cast<std::uint32_t>(version));
            const auto posted = Posted();
            // Compared unsigned: -1 is the largest version there is.
            if (version == 20 || version == -1)
                EXPECT_EQ(posted, std::vector<std::uint32_t>{static_cast<std::uint32_t>(version)});
            else
                EXPECT_TRUE(posted.empty()) << version;
        }
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UpdateInfoTest, AWrongRecordOnlyStopsParsingWithoutABox) {
    for (const std::string& body : {InfoRecord(20, 254), InfoRecord(20, 255, 2),
                                    RecordFields().Byte(1).Int32(20).RecordWithLength(255, 2049),
                                    RecordFields().Byte(1).RecordWithLength(255, 2)}) {
        auto exchange = Exchange();
        std::string left;
        EXPECT_FALSE(FeedBodyInOne(*exchange, body, &left));
        // Nothing was taken: the same bytes wait for the server to close.
        EXPECT_EQ(left, body);
        EXPECT_EQ(exchange->newestVersion(), 0u);
    }
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UpdateInfoTest, TheQuestionShowsTheVersionAndYesAsksForTheDownload) {
    EXPECT_EQ(UpdateQuestionText(20),
              u"A new version of Vantri is available! (version: 0.20)\n\rDo you want to update?");
    EXPECT_EQ(UpdateQuestionText(123),
              u"A new version of Vantri is available! (version: 1.23)\n\rDo you want to update?");
    EXPECT_EQ(UpdateQuestionText(7),
              u"A new version of Vantri is available! (version: 0.07)\n\rDo you want to update?");

    CatalogueHarness harness;
    RecordingMessageBoxes questions;
    questions.setYesNoAnswer(platform::MessageBoxResult::No);
    AskForUpdate(&harness.context, 20);
    EXPECT_TRUE(harness.Settle().empty());
    questions.setYesNoAnswer(platform::MessageBoxResult::Yes);
    AskForUpdate(&harness.context, 20);
    auto queued = harness.Settle();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].type, NetworkHandlerMessageType_GetApplicationUpdateDownload);
    // Only the two questions (a headless media thread may add a box of its own).
    std::vector<std::u16string> asked;
    for (std::size_t i = 0; i < questions.count(); ++i)
        if (questions.captions()[i] == u"New version")
            asked.push_back(questions.texts()[i]);
    EXPECT_EQ(asked, (std::vector<std::u16string>{UpdateQuestionText(20), UpdateQuestionText(20)}));
}

bool HaveMinisign() {
    return platform::RunChildProcess({"sh", "-c", "command -v minisign"}, {}, "/dev/null").exitCode == 0;
}

// Tests that sign with the minisign tool skip where it cannot run (the Windows tests have their own
// signed installer); the others run everywhere.
constexpr const char* kNoMinisign = "minisign is not installed";

class UpdateDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(downloads());
        fs::create_directories(program());
        canSign = HaveMinisign();
        if (canSign) {
            MakeKey("makers");
            MakeKey("stranger");
        }
        // A stand-in installer that writes down its arguments, one per line, then the modes of its file and
        // of its folder.
        const std::string part = (scratch.path() / "ran.part").string();
        installer = "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + part +
                    "'\nstat -c %a \"$0\" \"${0%/*}\" >> '" + part + "'\nmv '" + part + "' '" +
                    ran().string() + "'\n";
    }

    fs::path downloads() const { return scratch.path() / "tmp"; }
    fs::path program() const { return scratch.path() / "Apps" / "Vantri Player"; }
    fs::path ran() const { return scratch.path() / "ran"; }

    void MakeKey(const std::string& name) {
        const fs::path folder = scratch.path() / "keys";
        fs::create_directories(folder);
        ASSERT_EQ(
            platform::RunChildProcess({"minisign", "-G", "-W", "-p", (folder / (name + ".pub")).string(),
                                       "-s", (folder / (name + ".key")).string()},
                                      {}, "/dev/null")
                .exitCode,
            0);
    }
    // Signs `bytes` with key `name` as the makers do, with the standard tool, naming the version in the
    // trusted comment (nothing: the tool's own comment).
    std::string Sign(const std::string& bytes, const std::string& name,
                     std::optional<std::string> comment = "Vantri 0.20 installer") {
        const fs::path file = scratch.path() / "tosign";
        WriteAll(file, bytes);
        const fs::path key = scratch.path() / "keys" / (name + ".key");
        std::vector<std::string> command{"minisign", "-S", "-s", key.string(), "-m", file.string()};
        if (comment) {
            command.push_back("-t");
            command.push_back(*comment);
        }
        EXPECT_EQ(platform::RunChildProcess(command, {}, "/dev/null").exitCode, 0);
        return ReadAll(file.string() + ".minisig");
    }
    std::string PublicKey(const std::string& name) const {
        return ReadAll(scratch.path() / "keys" / (name + ".pub"));
    }
    std::unique_ptr<MyNetworkPacket_RequestApplicationUpdateDownload>
    Exchange(std::vector<std::string> keys = {}, fs::path downloadFolder = {}) {
        MyNetworkPacket_RequestApplicationUpdateDownload::Options options;
        options.downloadFolder = (downloadFolder.empty() ? downloads() : downloadFolder).u16string();
        options.programFolder = program().u16string() + u"/";
        options.publicKeys = keys.empty() ? std::vector<std::string>{PublicKey("makers")} : keys;
        return std::make_unique<MyNetworkPacket_RequestApplicationUpdateDownload>(
            nullptr, StationConnectionData("upd.example"), options);
    }
    bool DownloadsEmpty() const { return fs::is_empty(downloads()); }
    std::string SignedBody(const std::string& name = "makers") {
        return DownloadHeader(static_cast<std::int32_t>(installer.size())) + DataRecords(installer) +
               SignatureRecord(Sign(installer, name));
    }

    ScratchFolder scratch;
    RecordingMessageBoxes boxes;
    std::string installer;
    bool canSign = false;
};

TEST_F(UpdateDownloadTest, ASignedInstallerRunsFromAPrivateFolderWithTheSilentArguments) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    const std::string data =
        DownloadHeader(static_cast<std::int32_t>(installer.size())) + DataRecords(installer, 7);
    const std::string signature = SignatureRecord(Sign(installer, "makers"));
    auto exchange = Exchange();
    EXPECT_EQ(exchange->RequestText().rfind(
                  "GET /getvantriupdatedownload/version19 HTTP/1.1\r\nHOST: upd.example", 0),
              0u);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 3; at < data.size(); at += 5)
        cuts.push_back(at);
    EXPECT_TRUE(FeedBody(*exchange, data, cuts));
    // Whole but not yet verified: on the disk, and nobody may run it.
    EXPECT_EQ(fs::status(fs::path(exchange->filePath())).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(FeedBody(*exchange, signature, {1, 2, 3}));
    EXPECT_TRUE(exchange->installerStarted());
    EXPECT_EQ(exchange->received(), installer.size());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(ran()); }));
    // Only the user may enter the folder; the installer is the user's to run.
    EXPECT_EQ(ReadAll(ran()), "/S\n/D=" + program().string() + "/\n700\n700\n");

    const fs::path file(exchange->filePath());
    EXPECT_EQ(file.parent_path().parent_path(), downloads());
    EXPECT_EQ(file.filename(), "VantriUpdate");
    // Once the installer has ended, its private folder goes, though the exchange still exists.
    EXPECT_TRUE(WaitFor([&] { return DownloadsEmpty(); }));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UpdateDownloadTest, AnOldInstallerIsRefusedHoweverWellSigned) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    const std::string data =
        DownloadHeader(static_cast<std::int32_t>(installer.size())) + DataRecords(installer);
    const struct {
        const char* name;
        std::optional<std::string> comment;
        std::string message;
    } cases[] = {
        {"this version", UpdateTrustedComment(19), kNotNewer},
        {"an older version", "Vantri 0.18 installer\tsigned long ago",
         "The downloaded update installs version 0.18, which is not newer than this Vantri (version 0.19). "
         "It was deleted and not started."},
        {"the tool's own comment", std::nullopt,
         "The downloaded update does not say which version of Vantri it installs. It was deleted and not "
         "started."},
    };
    for (const auto& c : cases) {
        RecordingMessageBoxes told;
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBodyInOne(*exchange, data + SignatureRecord(Sign(installer, "makers", c.comment))));
        EXPECT_FALSE(exchange->installerStarted()) << c.name;
        EXPECT_TRUE(DownloadsEmpty()) << c.name;
        ASSERT_EQ(told.count(), 1u) << c.name;
        EXPECT_EQ(told.utf8()[0], c.message) << c.name;
    }
    EXPECT_FALSE(fs::exists(ran()));
}

TEST_F(UpdateDownloadTest, EitherOfTwoTrustedKeysIsAccepted) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    // The makers moving to a new key: the build trusts the old and the new one.
    auto exchange = Exchange({PublicKey("makers"), PublicKey("stranger")});
    EXPECT_FALSE(FeedBodyInOne(*exchange, SignedBody("stranger")));
    EXPECT_TRUE(exchange->installerStarted());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(ran()); }));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UpdateDownloadTest, AnInstallerLargerThanAnyTheMakersShipIsRefusedBeforeAFileIsMade) {
    for (std::int32_t total : {static_cast<std::int32_t>(kMaxUpdateInstallerBytes) + 1,
                               std::numeric_limits<std::int32_t>::max()}) {
        RecordingMessageBoxes told;
        auto exchange = Exchange();
        EXPECT_FALSE(FeedBodyInOne(*exchange, DownloadHeader(total) + DataRecords(installer)));
        EXPECT_TRUE(DownloadsEmpty()) << total;
        ASSERT_EQ(told.count(), 1u);
        EXPECT_EQ(told.utf8()[0].rfind("NetworkError == NETWORKERROR_INVALIDDATA!", 0), 0u);
    }
}

TEST_F(UpdateDownloadTest, AnInstallerThatCannotStartIsReportedAndDeleted) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    installer = "not a program the system can start\n";
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, SignedBody()));
    EXPECT_FALSE(exchange->installerStarted());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0], "The downloaded update could not be started. It was deleted.");
    EXPECT_TRUE(WaitFor([&] { return DownloadsEmpty(); }));
}

// Run only by the next test, inside a mount namespace of its own whose folder VANTRI_TEST_NOEXEC_FOLDER
// is a file system that lets no program run.
TEST_F(UpdateDownloadTest, DISABLED_InANoexecFolder) {
    const std::optional<std::string> noexec = platform::GetEnv("VANTRI_TEST_NOEXEC_FOLDER");
    ASSERT_TRUE(noexec && canSign);
    auto exchange = Exchange({}, *noexec);
    EXPECT_FALSE(FeedBodyInOne(*exchange, SignedBody()));
    EXPECT_FALSE(exchange->installerStarted());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0], "The update could not be started: the folder " + *noexec +
                                   " does not let programs run (it is mounted noexec). It was deleted. Set "
                                   "TMPDIR to a folder that lets programs run and try again.");
    EXPECT_TRUE(fs::is_empty(*noexec));
    EXPECT_FALSE(fs::exists(ran()));
}

TEST_F(UpdateDownloadTest, ATemporaryFolderMountedNoexecIsReportedByName) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    const fs::path noexec = scratch.path() / "noexec-tmp";
    fs::create_directories(noexec);
    const std::string script =
        "mount -t tmpfs -o noexec,size=8m vantri-test \"$1\" || exit 77; exec \"$2\" "
        "--gtest_also_run_disabled_tests --gtest_filter=UpdateDownloadTest.DISABLED_InANoexecFolder";
    // A user and mount namespace of its own: the mount is seen by that process alone.
    if (platform::RunChildProcess({"unshare", "-rm", "true"}, {}, "/dev/null").exitCode != 0)
        GTEST_SKIP() << "no user and mount namespace to be had";
    const platform::ChildProcessResult inner = platform::RunChildProcess(
        {"unshare", "-rm", "sh", "-c", script, "sh", noexec.string(),
         Utf16ToUtf8(platform::OwnExecutablePath())},
        {{"VANTRI_TEST_NOEXEC_FOLDER", noexec.string()}, {"ASAN_OPTIONS", "detect_leaks=0"}},
        (scratch.path() / "inner.log").string());
    if (inner.exitCode == 77)
        GTEST_SKIP() << "no tmpfs to be mounted: " << ReadAll(scratch.path() / "inner.log");
    EXPECT_EQ(inner.exitCode, 0) << ReadAll(scratch.path() / "inner.log");
    EXPECT_NE(ReadAll(scratch.path() / "inner.log").find("[  PASSED  ] 1 test"), std::string::npos)
        << ReadAll(scratch.path() / "inner.log");
}

TEST_F(UpdateDownloadTest, WithoutAValidSignatureNothingRunsNothingStaysAndTheUserIsTold) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    const std::string header = DownloadHeader(static_cast<std::int32_t>(installer.size()));
    std::string tampered = installer;
    tampered[tampered.size() - 2] = 'X';
    std::string badComment = Sign(installer, "makers");
    badComment.replace(badComment.find("Vantri 0.20"), 11, "Vantri 9.99");
    const struct {
        const char* name;
        std::string body;
        const char* message;
    } cases[] = {
        {"unsigned", header + DataRecords(installer), kNotSigned},
        {"stranger's key", header + DataRecords(installer) + SignatureRecord(Sign(installer, "stranger")),
         kNotSigned},
        {"other file's signature",
         header + DataRecords(tampered) + SignatureRecord(Sign(installer, "makers")), kNotSigned},
        {"altered trusted comment", header + DataRecords(installer) + SignatureRecord(badComment),
         kNotSigned},
        {"garbage signature",
         header + DataRecords(installer) + SignatureRecord("untrusted comment: x\nRUQ\n"), kNotSigned},
        {"truncated", header + DataRecords(installer.substr(0, 10)), kIncomplete},
    };
    for (const auto& c : cases) {
        RecordingMessageBoxes told;
        auto exchange = Exchange();
        FeedBodyInOne(*exchange, c.body);
        // The server's end of the stream, for the responses that stop before a signature.
        exchange->Disconnect(NETWORKERROR_NONE);
        EXPECT_FALSE(exchange->installerStarted()) << c.name;
        EXPECT_TRUE(DownloadsEmpty()) << c.name;
        ASSERT_EQ(told.count(), 1u) << c.name;
        EXPECT_EQ(told.utf8()[0], c.message) << c.name;
        EXPECT_EQ(told.captions()[0], u"New version");
    }
    EXPECT_FALSE(fs::exists(ran()));
}

TEST_F(UpdateDownloadTest, MoreThanAnnouncedIsInvalidDataAndNothingRuns) {
    // Parsing stops before the signature, so even a valid one would not matter.
    const std::string signature = canSign ? Sign(installer, "makers") : "untrusted comment: unread\n";
    const std::string body = DownloadHeader(static_cast<std::int32_t>(installer.size()) - 1) +
                             DataRecords(installer) + SignatureRecord(signature);
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, body));
    EXPECT_FALSE(exchange->installerStarted());
    EXPECT_TRUE(DownloadsEmpty());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(
        boxes.utf8()[0].rfind("NetworkError == NETWORKERROR_INVALIDDATA!\r\n\r\n(file: NetworkPackets", 0),
        0u);
}

TEST_F(UpdateDownloadTest, DataBeforeTheHeaderIsAFileAccessError) {
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, DataRecords(installer)));
    EXPECT_TRUE(DownloadsEmpty());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0].rfind("NetworkError == NETWORKERROR_FILEACCESSERROR!", 0), 0u);
}

TEST_F(UpdateDownloadTest, AWrongHeaderOrUnknownRecordOnlyStopsParsing) {
    for (const std::string& body : {DownloadHeader(10, 2), RecordFields().Byte(1).Record(99),
                                    RecordFields().Raw("xx").RecordWithLength(254, 2049)}) {
        auto exchange = Exchange();
        std::string left;
        EXPECT_FALSE(FeedBodyInOne(*exchange, body, &left));
        EXPECT_EQ(left, body);
    }
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_TRUE(DownloadsEmpty());
}

TEST_F(UpdateDownloadTest, AFilePlantedAtThePredictableNameIsNeitherFollowedNorRun) {
    if (!canSign)
        GTEST_SKIP() << kNoMinisign;
    // Another user's link where a shared temporary folder once received the download, and a file of the
    // download's own name.
    const fs::path victim = scratch.path() / "victim";
    WriteAll(victim, "keep me");
    fs::create_symlink(victim, downloads() / "VantriUpdate.exe");
    fs::create_symlink(victim, downloads() / "VantriUpdate");
    const std::string body = DownloadHeader(static_cast<std::int32_t>(installer.size())) +
                             DataRecords(installer) + SignatureRecord(Sign(installer, "makers"));
    auto exchange = Exchange();
    EXPECT_FALSE(FeedBodyInOne(*exchange, body));
    EXPECT_TRUE(exchange->installerStarted());
    EXPECT_EQ(ReadAll(victim), "keep me");
    EXPECT_NE(fs::path(exchange->filePath()).parent_path(), downloads());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(ran()); }));
}

} // namespace
