#include "net/MyNetworkPacket_RequestApplicationUpdateDownload.h"

#include "net/ResponseLimits.h"
#include "net/ServerAddresses.h"
#include "net/UpdateSigningKey.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Signature.h"
#include "platform/Utf.h"
#include "records/ProgramVersion.h"
#include "records/UpdateInstaller.h"

namespace {

constexpr const char* kNormalTail = " HTTP/1.1\r\n";
constexpr const char* kDebugTail = "&debug HTTP/1.1\r\n";
constexpr std::u16string_view kFolderPrefix = u"vantri-update-";
constexpr std::u16string_view kCaption = u"New version";
constexpr std::u16string_view kNotRun = u" It was deleted and not started.";

std::string PathAndQuery() {
    return "getvantriupdatedownload/version" + std::to_string(kProgramVersion);
}

std::uint32_t ReadUInt(const char* data, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(data[i]);
    return value;
}

} // namespace

MyNetworkPacket_RequestApplicationUpdateDownload::Options
MyNetworkPacket_RequestApplicationUpdateDownload::DefaultOptions() {
    Options options;
    options.downloadFolder = platform::TempFolder();
    const std::u16string program = platform::OwnExecutablePath();
    const std::size_t separator = program.rfind(platform::PathSeparator());
    if (separator != std::u16string::npos)
        options.programFolder = program.substr(0, separator + 1);
    for (std::string_view key : kUpdateSigningPublicKeys)
        options.publicKeys.emplace_back(key);
    return options;
}

MyNetworkPacket_RequestApplicationUpdateDownload::MyNetworkPacket_RequestApplicationUpdateDownload(
    MyAppContext* context)
    : MyNetworkPacket_RequestApplicationUpdateDownload(context, UpdateServerConnectionData(),
                                                       DefaultOptions()) {}

MyNetworkPacket_RequestApplicationUpdateDownload::MyNetworkPacket_RequestApplicationUpdateDownload(
    MyAppContext* context, StationConnectionData updateServer, Options options)
    : MyNetworkPacketBase(context, NetworkPacketType_RequestApplicationUpdateDownload),
      options_(std::move(options)) {
    connectionData = std::make_shared<const StationConnectionData>(std::move(updateServer));
    SetBodyLimit(kMaxUpdateDownloadBodyBytes);
}

MyNetworkPacket_RequestApplicationUpdateDownload::~MyNetworkPacket_RequestApplicationUpdateDownload() =
    default;

bool MyNetworkPacket_RequestApplicationUpdateDownload::SendRequest() {
    return SendRequestText(PathAndQuery(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestApplicationUpdateDownload::RequestText() const {
    return ComposeRequest(PathAndQuery(), kNormalTail, kDebugTail);
}

void MyNetworkPacket_RequestApplicationUpdateDownload::DropFile() {
    if (file_)
        file_->Discard();
    file_.reset();
}

void MyNetworkPacket_RequestApplicationUpdateDownload::Disconnect(NetworkError error) {
    MyNetworkPacketBase::Disconnect(error);
    if (error != NETWORKERROR_NONE)
        userToldWhy_ = true;
    if (started_)
        return;
    // Whatever ended the exchange, nothing unverified stays on the disk.
    DropFile();
    if (headerSeen_ && !userToldWhy_) {
        userToldWhy_ = true;
        platform::ShowMessageBox(complete_ ? u"The downloaded update is not signed by the makers of Vantri. "
                                             u"It was deleted and not started."
                                           : u"The update download ended before it was complete. "
                                             u"It was deleted and not started.",
                                 std::u16string(kCaption));
    }
}

int MyNetworkPacket_RequestApplicationUpdateDownload::HandleData(const char* data, int length) {
    int consumed = 0;
    while (length - consumed >= 2) {
        const auto recordLength = static_cast<std::int16_t>(ReadUInt(data + consumed, 2));
        if (recordLength < 0 || static_cast<std::size_t>(recordLength) > kMaxRecordLength)
            return -1;
        if (length - consumed < recordLength + 2)
            break;
        if (recordLength < 1)
            return -1;
        const char* fields = data + consumed + 3;
        const int fieldLength = recordLength - 1;
        int outcome = -1;
        switch (static_cast<std::uint8_t>(data[consumed + 2])) {
        case ResponseRecordType_UpdateHeader:
            outcome = HandleHeader(fields, fieldLength);
            break;
        case ResponseRecordType_UpdateData:
            outcome = HandleDataRecord(fields, fieldLength);
            break;
        case ResponseRecordType_UpdateSignature:
            outcome = HandleSignature(fields, fieldLength);
            break;
        default:
            break;
        }
        if (outcome < 0)
            return -1;
        consumed += recordLength + 2;
    }
    return consumed;
}

int MyNetworkPacket_RequestApplicationUpdateDownload::HandleHeader(const char* fields, int length) {
    if (length < 5 || static_cast<std::uint8_t>(fields[0]) != kUpdateFormatVersion)
        return -1;
    const auto total = static_cast<std::int32_t>(ReadUInt(fields + 1, 4));
    // A second header, a size no file can have, or an installer larger than any the makers ship, is not
    // a download this program takes.
    if (headerSeen_ || total < 0 || static_cast<std::size_t>(total) > kMaxUpdateInstallerBytes) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        return -1;
    }
    headerSeen_ = true;
    totalSize_ = total;
    file_ = platform::PrivateDownload::Create(options_.downloadFolder, kFolderPrefix,
                                              std::u16string(kFileName) +
                                                  std::u16string(platform::ProgramFileSuffix()));
    if (!file_) {
        Disconnect(NETWORKERROR_FILEACCESSERROR);
        return -1;
    }
    if (totalSize_ == 0 && !file_->Close()) {
        Disconnect(NETWORKERROR_FILEACCESSERROR);
        return -1;
    }
    complete_ = totalSize_ == 0;
    return 1;
}

int MyNetworkPacket_RequestApplicationUpdateDownload::HandleDataRecord(const char* fields, int length) {
    if (length < 2) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        return -1;
    }
    const auto count = static_cast<std::int16_t>(ReadUInt(fields, 2));
    if (count < 0 || count > length - 2) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        return -1;
    }
    if (complete_) {
        Disconnect(NETWORKERROR_INVALIDDATA); // more than announced
        return -1;
    }
    if (!file_ ||
        !file_->Write({reinterpret_cast<const std::uint8_t*>(fields + 2), static_cast<std::size_t>(count)})) {
        Disconnect(NETWORKERROR_FILEACCESSERROR);
        return -1;
    }
    received_ += static_cast<std::uint32_t>(count);
    if (received_ > static_cast<std::uint32_t>(totalSize_)) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        return -1;
    }
    if (received_ == static_cast<std::uint32_t>(totalSize_)) {
        if (!file_->Close()) {
            Disconnect(NETWORKERROR_FILEACCESSERROR);
            return -1;
        }
        complete_ = true;
    }
    return 1;
}

int MyNetworkPacket_RequestApplicationUpdateDownload::Refuse(const std::u16string& why) {
    userToldWhy_ = true;
    platform::ShowMessageBox(why, std::u16string(kCaption));
    Disconnect(NETWORKERROR_NONE); // deletes the file
    return -1;
}

int MyNetworkPacket_RequestApplicationUpdateDownload::HandleSignature(const char* fields, int length) {
    if (!complete_ || length < 2) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        return -1;
    }
    const std::uint32_t count = ReadUInt(fields, 2);
    if (count > static_cast<std::uint32_t>(length - 2)) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        return -1;
    }
    if (options_.programFolder.empty()) {
        Disconnect(NETWORKERROR_FILEACCESSERROR);
        return -1;
    }
    // The check reads the file back from the disk, piece by piece: what is verified is what will run,
    // and the installer never lies whole in memory.
    platform::MinisignStreamVerifier verifier;
    std::uint64_t readBack = 0;
    const bool read = file_ && file_->ReadBack([&](std::span<const std::uint8_t> piece) {
        readBack += piece.size();
        verifier.Update(piece);
        return readBack <= static_cast<std::uint64_t>(totalSize_);
    });
    std::vector<std::string_view> keys(options_.publicKeys.begin(), options_.publicKeys.end());
    const std::optional<std::string> comment =
        read && readBack == static_cast<std::uint64_t>(totalSize_)
            ? verifier.Finish(std::string_view(fields + 2, count), keys)
            : std::nullopt;
    if (!comment)
        return Refuse(u"The downloaded update is not signed by the makers of Vantri." +
                      std::u16string(kNotRun));
    // The version is signed with the file: an older or equal one is an old installer offered again.
    const std::optional<std::uint32_t> version = UpdateVersionFromTrustedComment(*comment);
    if (!version)
        return Refuse(u"The downloaded update does not say which version of Vantri it installs." +
                      std::u16string(kNotRun));
    if (*version <= static_cast<std::uint32_t>(kProgramVersion))
        return Refuse(u"The downloaded update installs version " +
                      Utf8ToUtf16(FormatProgramVersion(*version)) +
                      u", which is not newer than this Vantri (version " +
                      Utf8ToUtf16(FormatProgramVersion(static_cast<std::uint32_t>(kProgramVersion))) + u")." +
                      std::u16string(kNotRun));

    switch (file_->MakeExecutable() ? file_->Run({u"/S", u"/D=" + options_.programFolder})
                                    : platform::PrivateDownload::Start::Failed) {
    case platform::PrivateDownload::Start::Started:
        started_ = true;
        resultDelivered = true;
        userToldWhy_ = true;
        Disconnect(NETWORKERROR_NONE);
        return -1;
    case platform::PrivateDownload::Start::FolderForbidsPrograms:
        return Refuse(
            u"The update could not be started: the folder " + options_.downloadFolder +
            u" does not let programs run (it is mounted noexec). It was deleted. Set TMPDIR to a folder "
            u"that lets programs run and try again.");
    case platform::PrivateDownload::Start::Failed:
        break;
    }
    return Refuse(u"The downloaded update could not be started. It was deleted.");
}
