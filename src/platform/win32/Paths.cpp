#include "platform/Paths.h"
#include "platform/win32/Win32Handles.h"

#include <shlobj.h>

namespace platform {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

std::u16string WithoutTrailingSeparator(std::u16string path) {
    // "C:\" keeps its separator: without it the path would name the drive's current folder.
    while (path.size() > 3 && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

} // namespace

std::u16string LocalAppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE))
        return {};
    return WithoutTrailingSeparator(FromWide(path));
}

std::u16string CacheFolder() {
    return LocalAppDataFolder();
}

std::u16string TempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH)
        return {};
    return WithoutTrailingSeparator(FromWide(std::wstring_view(path, length)));
}

std::u16string OwnExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return FromWide(path);
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

char16_t PathSeparator() {
    return u'\\';
}

std::u16string_view ProgramFileSuffix() {
    return u".exe";
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string joined(folder);
    if (joined.empty() || !IsSeparator(joined.back()))
        joined += PathSeparator();
    joined += name;
    return joined;
}

bool FolderExists(std::u16string_view path) {
    if (path.empty())
        return false;
    DWORD attributes = GetFileAttributesW(WideString(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(std::u16string_view path) {
    if (path.empty())
        return false;
    std::u16string folder = WithoutTrailingSeparator(std::u16string(path));
    if (FolderExists(folder))
        return true;
    // The folder above first; a drive ("C:") or share root always exists or never will.
    std::size_t cut = folder.find_last_of(u"\\/");
    if (cut != std::u16string::npos && cut > 0) {
        std::u16string parent = folder.substr(0, cut);
        bool isRoot = parent.size() == 2 && parent[1] == u':';
        if (!isRoot && !parent.ends_with(u"\\") && !MakeFolder(parent))
            return false;
    }
    // The local application-data folder is the user's own; a new folder inherits its protection.
    if (CreateDirectoryW(WideString(folder).c_str(), nullptr))
        return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(folder);
}

} // namespace platform
