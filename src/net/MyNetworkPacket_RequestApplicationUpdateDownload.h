#pragma once
// Downloads the new program from the update server ("getvantriupdatedownload/version19") and starts it
// silently with "/S" and "/D=" followed by this program's folder (with its trailing separator); the
// program keeps running.
//
// Response records: a header (type 254: format version byte 1, total size int32); data records (type
// 253: byte count n int16, n bytes) in file order until their counts add up to the total; then the
// signature record (type 252: byte count n uint16, n bytes of a minisign signature file). The installer,
// at most kMaxUpdateInstallerBytes, is written to a new private folder as it arrives, and is made
// executable and started only when the signature verifies against one of the makers' keys and its signed
// trusted comment names a version newer than this program (so an old installer never takes the program
// back). The folder goes once the installer has ended. A download that ends any other way leaves no file,
// and one that arrived whole but is not run is reported to the user, with the reason.
//
// Like the update information, a bad length, an unknown record type or a header of another version only
// stops parsing, without an error box; a file that cannot be written shows
// NETWORKERROR_FILEACCESSERROR, and data beyond the announced size NETWORKERROR_INVALIDDATA.

#include "net/MyNetworkPacketBase.h"
#include "platform/PrivateDownload.h"
#include "records/WireFormat.h"

#include <memory>
#include <string>
#include <vector>

class MyNetworkPacket_RequestApplicationUpdateDownload : public MyNetworkPacketBase {
public:
    // The installer's file name, followed by the platform's program suffix ("VantriUpdate.exe" on Windows).
    static constexpr std::u16string_view kFileName = u"VantriUpdate";

    // Where the download goes and what it must be signed with.
    struct Options {
        std::u16string downloadFolder; // the folder the private folder is made in (the temporary folder)
        std::u16string programFolder;  // given to the installer after "/D=", with its trailing separator
        std::vector<std::string> publicKeys; // minisign public keys (key lines or key files), one or two
    };
    // The temporary folder, this program's folder and the makers' keys.
    static Options DefaultOptions();

    // Asks the configured update server.
    explicit MyNetworkPacket_RequestApplicationUpdateDownload(MyAppContext* context);
    MyNetworkPacket_RequestApplicationUpdateDownload(MyAppContext* context,
                                                     StationConnectionData updateServer, Options options);
    ~MyNetworkPacket_RequestApplicationUpdateDownload() override;

    bool SendRequest() override;
    int HandleData(const char* data, int length) override;
    void Disconnect(NetworkError error) override;
    // The exact request text SendRequest sends.
    std::string RequestText() const;

    std::int32_t totalSize() const { return totalSize_; }
    std::uint32_t received() const { return received_; }
    // The installer's path while it is being written or once it was started (its folder is deleted when
    // the installer has ended); empty otherwise.
    std::u16string filePath() const { return file_ ? file_->path() : std::u16string(); }
    bool installerStarted() const { return started_; }

private:
    // Answers -1 to stop parsing or 1 to go on with the next record.
    int HandleHeader(const char* fields, int length);
    int HandleDataRecord(const char* fields, int length);
    int HandleSignature(const char* fields, int length);
    // Deletes the file and its folder.
    void DropFile();
    // Tells the user why the download is not run, deletes it and ends the exchange; answers -1.
    int Refuse(const std::u16string& why);

    Options options_;
    std::int32_t totalSize_ = 0;
    std::uint32_t received_ = 0;
    std::unique_ptr<platform::PrivateDownload> file_;
    bool headerSeen_ = false;
    bool complete_ = false; // every announced byte is written and the file is closed
    bool started_ = false;
    bool userToldWhy_ = false; // an error box or message already said why nothing runs
};
