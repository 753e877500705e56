#include "platform/PrivateDownload.h"

#include "platform/Utf.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

std::unique_ptr<PrivateDownload> PrivateDownload::Create(std::u16string_view parentFolder,
                                                         std::u16string_view folderPrefix,
                                                         std::u16string_view fileName) {
    if (parentFolder.empty() || fileName.empty() || fileName.find(u'/') != std::u16string_view::npos)
        return nullptr;
    std::string folder = Utf16ToUtf8(parentFolder);
    if (folder.back() != '/')
        folder += '/';
    folder += Utf16ToUtf8(folderPrefix) + "XXXXXX";
    // mkdtemp makes a new folder of mode 0700 under a name nobody could have taken before.
    if (mkdtemp(folder.data()) == nullptr)
        return nullptr;
    std::unique_ptr<PrivateDownload> download(new PrivateDownload());
    download->folder_ = Utf8ToUtf16(folder);
    const std::string path = folder + "/" + Utf16ToUtf8(fileName);
    download->fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (download->fd_ < 0) {
        rmdir(folder.c_str());
        return nullptr;
    }
    download->path_ = Utf8ToUtf16(path);
    return download;
}

PrivateDownload::~PrivateDownload() {
    if (started_)
        Close();
    else
        Discard();
}

bool PrivateDownload::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = write(fd_, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool PrivateDownload::Close() {
    if (fd_ < 0)
        return true;
    bool ok = fsync(fd_) == 0;
    ok = (close(fd_) == 0 || errno == EINTR) && ok;
    fd_ = -1;
    return ok;
}

bool PrivateDownload::ReadBack(const std::function<bool(std::span<const std::uint8_t>)>& piece) const {
    if (path_.empty() || fd_ >= 0)
        return false;
    int fd = open(Utf16ToUtf8(path_).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<std::uint8_t> buffer(65536);
    bool ok = true;
    for (;;) {
        ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!piece({buffer.data(), static_cast<std::size_t>(got)})) {
            ok = false;
            break;
        }
    }
    close(fd);
    return ok;
}

bool PrivateDownload::MakeExecutable() {
    return !path_.empty() && chmod(Utf16ToUtf8(path_).c_str(), 0700) == 0;
}

void PrivateDownload::Discard() {
    Close();
    if (!path_.empty())
        unlink(Utf16ToUtf8(path_).c_str());
    if (!folder_.empty())
        rmdir(Utf16ToUtf8(folder_).c_str());
    path_.clear();
    folder_.clear();
}

namespace {

bool FolderForbidsPrograms(const std::string& folder) {
    struct statvfs info {};
    return statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_NOEXEC) != 0;
}

// Closes every descriptor from 3 up, but `keep`.
void CloseDescriptorsBut(int keep) {
    if (keep > 3)
        close_range(3, static_cast<unsigned>(keep) - 1, 0);
    close_range(static_cast<unsigned>(keep) + 1, ~0u, 0);
}

} // namespace

PrivateDownload::Start PrivateDownload::Run(const std::vector<std::u16string>& arguments) {
    if (started_ || fd_ >= 0 || path_.empty())
        return Start::Failed;
    // Everything the children need is prepared before fork: after it, in a program with threads, only
    // async-signal-safe calls are allowed.
    const std::string path = Utf16ToUtf8(path_);
    const std::string folder = Utf16ToUtf8(folder_);
    std::vector<std::string> texts{path};
    for (const std::u16string& argument : arguments)
        texts.push_back(Utf16ToUtf8(argument));
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    if (access(path.c_str(), X_OK) != 0)
        return FolderForbidsPrograms(folder) ? Start::FolderForbidsPrograms : Start::Failed;

    // The program tells through this pipe why it could not be started; a successful start closes the
    // pipe without a word.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return Start::Failed;
    // Three generations: the child ends at once (so this process reaps it and nothing else); the watcher
    // it leaves behind, in a session of its own and holding none of this process's descriptors, starts
    // the program, waits for it to end and then deletes the file and the folder.
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return Start::Failed;
    }
    if (child == 0) {
        pid_t watcher = fork();
        if (watcher == 0) {
            setsid();
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            CloseDescriptorsBut(report[1]);
            int null = open("/dev/null", O_RDONLY);
            if (null >= 0 && null != 0) {
                dup2(null, 0);
                close(null);
            }
            pid_t program = fork();
            if (program == 0) {
                execv(path.c_str(), argv.data());
                const int error = errno;
                ssize_t ignored = write(report[1], &error, sizeof error);
                (void)ignored;
                _exit(127);
            }
            close(report[1]);
            if (program > 0) {
                int status = 0;
                while (waitpid(program, &status, 0) < 0 && errno == EINTR) {
                }
            }
            unlink(path.c_str());
            rmdir(folder.c_str());
            _exit(0);
        }
        _exit(watcher < 0 ? 1 : 0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Start::Failed; // no watcher: nothing was started, the file is still this object's
    // From here on the watcher owns the file and the folder, whether the program ran or not.
    started_ = true;
    if (got == 0)
        return Start::Started;
    return error == EACCES && FolderForbidsPrograms(folder) ? Start::FolderForbidsPrograms : Start::Failed;
}

} // namespace platform
