#include "platform/PrivateDownload.h"

#include "platform/Utf.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
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
    if (!keep_)
        Discard();
    else
        Close();
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

bool PrivateDownload::ReadBack(std::vector<std::uint8_t>& bytes) const {
    bytes.clear();
    if (path_.empty())
        return false;
    int fd = open(Utf16ToUtf8(path_).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            bytes.clear();
            return false;
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    close(fd);
    return true;
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

bool StartDetachedProgram(std::u16string_view program, const std::vector<std::u16string>& arguments) {
    // Everything the children need is prepared before fork: after it, in a program with threads, only
    // async-signal-safe calls are allowed.
    const std::string path = Utf16ToUtf8(program);
    std::vector<std::string> texts{path};
    for (const std::u16string& argument : arguments)
        texts.push_back(Utf16ToUtf8(argument));
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    if (access(path.c_str(), X_OK) != 0)
        return false;

    // The program runs as a grandchild whose parent has ended, so this process never has to reap it.
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            setsid();
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            int null = open("/dev/null", O_RDONLY);
            if (null >= 0)
                dup2(null, 0);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace platform
