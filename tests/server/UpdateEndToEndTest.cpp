// The player's update exchanges against a running vantri-station over loopback: the newest version is
// offered, and an installer the makers signed with minisign is downloaded with the signature file that
// lies beside it in the archive, verified and started; an archive without the signature file offers an
// installer that never runs; one whose signature names another version than the offer is not served.

#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "StationFixtures.h"

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateDownload.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateInfo.h"
#include "platform/ChildProcess.h"
#include "platform/PostTarget.h"
#include "support/Deadline.h"
#include "support/ExchangeDriver.h"
#include "support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace stationtest;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool RunTool(const std::vector<std::string>& arguments) {
    return platform::RunChildProcess(arguments, {}, "/dev/null").exitCode == 0;
}

class UpdateEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RunTool({"sh", "-c", "command -v minisign"}))
            GTEST_SKIP() << "minisign is not installed";
        root = folder.path() / "archive";
        MakeSmallArchive(root);
        ASSERT_TRUE(RunTool({"minisign", "-G", "-W", "-p", (folder.path() / "makers.pub").string(), "-s",
                             (folder.path() / "makers.key").string()}));
        // The installer of the archive is a program that writes down its arguments.
        const fs::path ran = folder.path() / "ran";
        WriteText(root / "updates/VantriUpdate.exe", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" +
                                                         ran.string() + ".part'\nmv '" + ran.string() +
                                                         ".part' '" + ran.string() + "'\n");
    }
    void Sign(const std::string& trustedComment) {
        ASSERT_TRUE(RunTool({"minisign", "-S", "-s", (folder.path() / "makers.key").string(), "-m",
                             (root / "updates/VantriUpdate.exe").string(), "-t", trustedComment}));
    }
    void Serve() {
        std::vector<station::Failure> problems;
        auto archive = station::LoadArchive(root, problems);
        ASSERT_TRUE(archive.ok());
        auto catalogue = station::Catalogue::Build(std::move(*archive));
        ASSERT_TRUE(catalogue.ok()) << catalogue.failure().message;
        station::ServerOptions options;
        auto started = station::HttpServer::Start(*catalogue, options);
        ASSERT_TRUE(started.ok());
        server = std::move(*started);
    }
    StationConnectionData Address() const {
        StationConnectionData address("127.0.0.1");
        address.port = server->port();
        return address;
    }
    MyNetworkPacket_RequestApplicationUpdateDownload::Options Options() const {
        MyNetworkPacket_RequestApplicationUpdateDownload::Options options;
        options.downloadFolder = folder.path().u16string();
        options.programFolder = u"/opt/vantri/";
        options.publicKeys = {ReadAll(folder.path() / "makers.pub")};
        return options;
    }

    TempFolder folder;
    fs::path root;
    std::unique_ptr<station::HttpServer> server;
    testsupport::RecordingMessageBoxes boxes;
};

TEST_F(UpdateEndToEnd, TheOfferedVersionReachesTheMainWindow) {
    Serve();
    platform::MessageQueue window;
    MyAppContext context;
    MyCallbacks callbacks(&context);
    context.callbacks = &callbacks;
    context.mainWindowHandle = &window;
    MyNetworkPacket_RequestApplicationUpdateInfo exchange(&context, Address());
    EXPECT_TRUE(testsupport::DriveExchange(exchange).ended);
    platform::WindowMessage message;
    ASSERT_TRUE(window.Take(message, 0));
    auto callback = MyCallbacks::Receive(message.wParam);
    ASSERT_EQ(callback->type, MyCallbacks::MessageType_NewApplicationVersion);
    EXPECT_EQ(static_cast<MyCallbacks::MyMainWindowMessage_NewApplicationVersionCallback&>(*callback).version,
              20u);
}

TEST_F(UpdateEndToEnd, ASignedInstallerFromTheArchiveIsDownloadedVerifiedAndStarted) {
    Sign("Vantri 0.20 installer");
    Serve();
    MyNetworkPacket_RequestApplicationUpdateDownload exchange(nullptr, Address(), Options());
    EXPECT_TRUE(testsupport::DriveExchange(exchange).ended);
    EXPECT_TRUE(exchange.installerStarted());
    ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(folder.path() / "ran"); }));
    EXPECT_EQ(ReadAll(folder.path() / "ran"), "/S\n/D=/opt/vantri/\n");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UpdateEndToEnd, AnInstallerWithoutItsSignatureFileNeverRuns) {
    Serve();
    MyNetworkPacket_RequestApplicationUpdateDownload exchange(nullptr, Address(), Options());
    EXPECT_TRUE(testsupport::DriveExchange(exchange).ended);
    EXPECT_FALSE(exchange.installerStarted());
    EXPECT_TRUE(exchange.filePath().empty());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0],
              "The downloaded update is not signed by the makers of Vantri. It was deleted and not started.");
    for (const auto& entry : fs::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("vantri-update-", 0), std::string::npos)
            << entry.path();
}

TEST_F(UpdateEndToEnd, ASignatureNamingAnotherVersionThanTheOfferIsNotServed) {
    // server.conf offers 20.
    for (const auto& [comment, message] : std::vector<std::pair<std::string, std::string>>{
             {"Vantri 0.21 installer", "the signature names version 0.21 but 'update-version' offers 0.20"},
             {"timestamp:1714000000\tfile:VantriUpdate.exe\thashed",
              "the signature's trusted comment does not name the version, as players require (sign with -t "
              "\"Vantri 0.20 installer\")"}}) {
        Sign(comment);
        std::vector<station::Failure> problems;
        auto archive = station::LoadArchive(root, problems);
        ASSERT_TRUE(archive.ok());
        auto catalogue = station::Catalogue::Build(std::move(*archive));
        ASSERT_FALSE(catalogue.ok()) << comment;
        EXPECT_EQ(catalogue.failure().message, message);
        EXPECT_EQ(fs::path(catalogue.failure().file).filename(), "VantriUpdate.exe.minisig");
    }
}

} // namespace
