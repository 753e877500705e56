#include "platform/Paths.h"

#include "platform/Utf.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// An environment variable that holds an absolute path, or empty.
std::string AbsolutePathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

std::string HomeFolder() {
    std::string home = AbsolutePathFromEnvironment("HOME");
    if (!home.empty())
        return home;
    // No usable HOME: the user database knows the home folder.
    long bufferSize = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::u16string LocalAppDataFolder() {
    std::string folder = AbsolutePathFromEnvironment("XDG_CONFIG_HOME");
    if (folder.empty()) {
        std::string home = HomeFolder();
        if (home.empty())
            return {};
        folder = home + (home.back() == '/' ? "" : "/") + ".config";
    }
    return Utf8ToUtf16(folder);
}

std::u16string CacheFolder() {
    std::string folder = AbsolutePathFromEnvironment("XDG_CACHE_HOME");
    if (folder.empty()) {
        std::string home = HomeFolder();
        if (home.empty())
            return {};
        folder = home + (home.back() == '/' ? "" : "/") + ".cache";
    }
    return Utf8ToUtf16(folder);
}

std::u16string TempFolder() {
    std::string folder = AbsolutePathFromEnvironment("TMPDIR");
    return Utf8ToUtf16(folder.empty() ? std::string("/tmp") : folder);
}

std::u16string OwnExecutablePath() {
    std::vector<char> buffer(4096);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size())
        return {};
    return Utf8ToUtf16(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
}

char16_t PathSeparator() {
    return u'/';
}

std::u16string_view ProgramFileSuffix() {
    return {};
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    if (path.empty() || path.back() != u'/')
        path.push_back(u'/');
    path.append(name);
    return path;
}

bool FolderExists(std::u16string_view path) {
    return !path.empty() && IsFolder(Utf16ToUtf8(path));
}

bool MakeFolder(std::u16string_view path) {
    std::string target = Utf16ToUtf8(path);
    if (target.empty())
        return false;
    // Each folder on the way down, so that a missing ~/.config is made too.
    for (std::size_t slash = target.find('/', 1);; slash = target.find('/', slash + 1)) {
        std::string prefix = target.substr(0, slash);
        if (!prefix.empty() && prefix.back() != '/' && mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return IsFolder(target);
}

} // namespace platform
