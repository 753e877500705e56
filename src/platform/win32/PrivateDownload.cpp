// A downloaded file to be run, in a new folder of random name under the user's temporary folder (which
// lies in the user's own profile, closed to other users), created there exclusively.
#include "platform/PrivateDownload.h"
#include "platform/win32/Win32Handles.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <memory>
#include <random>
#include <vector>

namespace platform {

namespace {

std::u16string RandomText(std::size_t length) {
    static constexpr char16_t kLetters[] = u"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937_64 random(seed());
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i)
        text += kLetters[random() % 36];
    return text;
}

std::u16string Joined(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/')
        path += u'\\';
    return path + std::u16string(name);
}

// "/D=" (an installer's target folder) stays as it is: installers read it raw, spaces included, and
// never unquote it.
std::u16string Quoted(std::u16string_view argument) {
    return argument.starts_with(u"/D=") ? std::u16string(argument) : QuotedArgument(argument);
}

} // namespace

std::unique_ptr<PrivateDownload> PrivateDownload::Create(std::u16string_view parentFolder,
                                                         std::u16string_view folderPrefix,
                                                         std::u16string_view fileName) {
    std::unique_ptr<PrivateDownload> download(new PrivateDownload());
    for (int attempt = 0; attempt < 100 && download->folder_.empty(); ++attempt) {
        const std::u16string folder = Joined(parentFolder, std::u16string(folderPrefix) + RandomText(12));
        if (CreateDirectoryW(Wide(folder), nullptr))
            download->folder_ = folder;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            return nullptr;
    }
    if (download->folder_.empty())
        return nullptr;
    download->path_ = Joined(download->folder_, fileName);
    // _O_EXCL: a file or link of that name is never reused.
    download->fd_ = _wopen(reinterpret_cast<const wchar_t*>(download->path_.c_str()),
                           _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (download->fd_ < 0) {
        RemoveDirectoryW(Wide(download->folder_));
        return nullptr;
    }
    return download;
}

PrivateDownload::~PrivateDownload() {
    if (started_)
        Close();
    else
        Discard();
}

bool PrivateDownload::Write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        const int written = _write(fd_, bytes.data() + done, chunk);
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return fd_ >= 0;
}

bool PrivateDownload::Close() {
    if (fd_ < 0)
        return true;
    const bool flushed = _commit(fd_) == 0;
    const bool closed = _close(fd_) == 0;
    fd_ = -1;
    return flushed && closed;
}

bool PrivateDownload::ReadBack(const std::function<bool(std::span<const std::uint8_t>)>& piece) const {
    if (fd_ >= 0 || path_.empty())
        return false;
    HANDLE file = CreateFileW(Wide(path_), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<std::uint8_t> buffer(65536);
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (!piece({buffer.data(), got})) {
            ok = false;
            break;
        }
    }
    CloseHandle(file);
    return ok;
}

// Windows runs any program file its user may read; there is no mode to set.
bool PrivateDownload::MakeExecutable() {
    return fd_ < 0 && !path_.empty();
}

void PrivateDownload::Discard() {
    Close();
    if (!path_.empty())
        DeleteFileW(Wide(path_));
    if (!folder_.empty())
        RemoveDirectoryW(Wide(folder_));
}

namespace {

// What the thread pool needs to delete a started program's file and folder once the program has ended.
struct EndedProgramCleanup {
    std::u16string path;
    std::u16string folder;
    HANDLE process = nullptr;
    HANDLE wait = nullptr;
    HANDLE registered = nullptr; // set once `wait` holds the registration

    ~EndedProgramCleanup() {
        if (process)
            CloseHandle(process);
        if (registered)
            CloseHandle(registered);
    }

    static void CALLBACK Ended(void* parameter, BOOLEAN) {
        std::unique_ptr<EndedProgramCleanup> self(static_cast<EndedProgramCleanup*>(parameter));
        // The program's image may be released a moment after the process is signalled.
        for (int attempt = 0;
             attempt < 50 && !DeleteFileW(Wide(self->path)) && GetLastError() != ERROR_FILE_NOT_FOUND;
             ++attempt)
            Sleep(100);
        RemoveDirectoryW(Wide(self->folder));
        WaitForSingleObject(self->registered, INFINITE);
        // Not UnregisterWaitEx with a completion event: that would wait for this very callback.
        UnregisterWait(self->wait);
    }
};

} // namespace

PrivateDownload::Start PrivateDownload::Run(const std::vector<std::u16string>& arguments) {
    if (started_ || fd_ >= 0 || path_.empty())
        return Start::Failed;
    std::u16string commandLine = Quoted(path_);
    for (const std::u16string& argument : arguments)
        commandLine += u" " + Quoted(argument);
    std::wstring line = WideString(commandLine);
    const std::wstring program = WideString(path_);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
        return Start::Failed;
    CloseHandle(process.hThread);
    started_ = true;
    auto cleanup = std::make_unique<EndedProgramCleanup>();
    cleanup->path = path_;
    cleanup->folder = folder_;
    cleanup->process = process.hProcess;
    cleanup->registered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!cleanup->registered)
        return Start::Started; // the program runs; its folder stays behind
    EndedProgramCleanup* handedOver = cleanup.get();
    if (!RegisterWaitForSingleObject(&handedOver->wait, handedOver->process, &EndedProgramCleanup::Ended,
                                     handedOver, INFINITE, WT_EXECUTEONLYONCE))
        return Start::Started;
    // From here the callback owns the cleanup.
    cleanup.release();
    SetEvent(handedOver->registered);
    return Start::Started;
}

} // namespace platform
