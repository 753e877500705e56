#include "platform/LinkSchemeRegistry.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Utf.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr std::size_t kMaxListFileBytes = 1u << 20;
constexpr const char* kDefaultGroup = "[Default Applications]";
// A byte-order mark some editors put in front of UTF-8 text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string EnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

std::string HomeFolder() {
    return EnvironmentPath("HOME");
}

std::string DataHome() {
    std::string folder = EnvironmentPath("XDG_DATA_HOME");
    if (!folder.empty())
        return folder;
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

std::string ConfigHome() {
    return Utf16ToUtf8(LocalAppDataFolder());
}

// A colon-separated list of absolute folders from the environment, or `fallback` when it is unset or empty.
std::vector<std::string> FolderList(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    std::string text = value != nullptr && value[0] != 0 ? value : fallback;
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(':', start);
        if (end == std::string::npos)
            end = text.size();
        std::string folder = text.substr(start, end - start);
        if (!folder.empty() && folder[0] == '/')
            folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ReadText(const std::string& path, std::string& text) {
    std::vector<std::uint8_t> bytes;
    // One byte more than allowed tells a longer file, which is refused rather than cut.
    if (!ReadFileStart(Utf8ToUtf16(path), kMaxListFileBytes + 1, bytes) || bytes.size() > kMaxListFileBytes)
        return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// Removes a byte-order mark from the start of `text`; answers whether there was one.
bool TakeByteOrderMark(std::string& text) {
    if (!text.starts_with(kByteOrderMark))
        return false;
    text.erase(0, kByteOrderMark.size());
    return true;
}

bool WriteAllOf(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool Flush(int fd) {
    while (fsync(fd) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Writes `text` over the file `path` (which is no symbolic link), keeping what others rely on.
// - A file with further names (hard links) is rewritten in place, so that every name goes on showing
//   the same file; this one step is not atomic.
// - Otherwise the text goes to a new file of a unique name beside it (never one that exists, never
//   through a link), which gets the old file's mode and is flushed and renamed over it in one step.
bool WriteText(const std::string& path, const std::string& text) {
    struct stat old {};
    const bool exists = lstat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return false;
    if (exists && old.st_nlink > 1) {
        const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool whole =
            WriteAllOf(fd, text) && ftruncate(fd, static_cast<off_t>(text.size())) == 0 && Flush(fd);
        return close(fd) == 0 && whole;
    }
    std::random_device random;
    std::string fresh;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[20];
        std::snprintf(suffix, sizeof suffix, ".%08x.new", static_cast<unsigned>(random()));
        fresh = path + suffix;
        fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool whole = (!exists || fchmod(fd, old.st_mode & 07777) == 0) && WriteAllOf(fd, text) && Flush(fd);
    whole = close(fd) == 0 && whole;
    if (!whole || rename(fresh.c_str(), path.c_str()) != 0) {
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

// The file's lines, each with its own line end (the last may have none).
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin &&
           (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' || text[end - 1] == '\n'))
        --end;
    return std::string(text.substr(begin, end - begin));
}

bool IsGroupHeader(const std::string& trimmed) {
    return !trimmed.empty() && trimmed.front() == '[';
}

// Splits a "key=value" line; false for comments, blank lines and group headers.
bool SplitEntry(const std::string& line, std::string& key, std::string& value) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#' || IsGroupHeader(trimmed))
        return false;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos)
        return false;
    key = Trim(std::string_view(trimmed).substr(0, equals));
    value = Trim(std::string_view(trimmed).substr(equals + 1));
    return true;
}

// The value of `key` in group `group` of a desktop-entry style file, the first one if repeated.
std::optional<std::string> FindValue(const std::string& text, const std::string& group,
                                     const std::string& key) {
    bool inGroup = false;
    for (const std::string& line : SplitLines(text)) {
        const std::string trimmed = Trim(line);
        if (IsGroupHeader(trimmed)) {
            inGroup = trimmed == group;
            continue;
        }
        std::string k;
        std::string v;
        if (inGroup && SplitEntry(line, k, v) && k == key)
            return v;
    }
    return std::nullopt;
}

// Where the desktop entry with id `id` lies: the user's data folder first, then the system's.
std::string FindDesktopEntry(const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos)
        return {};
    std::vector<std::string> folders;
    const std::string home = DataHome();
    if (!home.empty())
        folders.push_back(home);
    for (const std::string& folder : FolderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))
        folders.push_back(folder);
    for (const std::string& folder : folders) {
        const std::string path = folder + "/applications/" + id;
        if (IsFile(path))
            return path;
    }
    return {};
}

// The mimeapps.list files in the order the desktop consults them: the user's configuration (desktop-
// specific names first), the system's configuration, then the older places under the data folders.
std::vector<std::string> MimeAppsLists() {
    std::vector<std::string> prefixes;
    if (const char* desktops = std::getenv("XDG_CURRENT_DESKTOP")) {
        std::string list = desktops;
        std::size_t start = 0;
        while (start < list.size()) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            std::string name = list.substr(start, end - start);
            for (char& c : name)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            if (!name.empty())
                prefixes.push_back(name + "-");
            start = end + 1;
        }
    }
    prefixes.push_back("");

    std::vector<std::string> folders;
    const std::string configHome = ConfigHome();
    if (!configHome.empty())
        folders.push_back(configHome);
    for (const std::string& folder : FolderList("XDG_CONFIG_DIRS", "/etc/xdg"))
        folders.push_back(folder);
    const std::string dataHome = DataHome();
    if (!dataHome.empty())
        folders.push_back(dataHome + "/applications");
    for (const std::string& folder : FolderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))
        folders.push_back(folder + "/applications");

    std::vector<std::string> files;
    for (const std::string& folder : folders)
        for (const std::string& prefix : prefixes)
            files.push_back(folder + "/" + prefix + "mimeapps.list");
    return files;
}

std::string EscapeStringValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

// `text` with `key=value` as the first entry of its [Default Applications] group; every other line kept
// byte for byte.
std::string WithDefaultHandler(const std::string& text, const std::string& key, const std::string& value) {
    const std::string entry = key + "=" + value + "\n";
    std::vector<std::string> lines = SplitLines(text);
    bool inGroup = false;
    std::size_t groupHeader = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string trimmed = Trim(lines[i]);
        if (IsGroupHeader(trimmed)) {
            inGroup = trimmed == kDefaultGroup;
            if (inGroup && groupHeader == lines.size())
                groupHeader = i;
            continue;
        }
        std::string k;
        std::string v;
        if (inGroup && SplitEntry(lines[i], k, v) && k == key) {
            // Keeps the line end the file uses.
            const bool crlf = lines[i].size() >= 2 && lines[i].compare(lines[i].size() - 2, 2, "\r\n") == 0;
            lines[i] = key + "=" + value + (crlf ? "\r\n" : "\n");
            std::string out;
            for (const std::string& line : lines)
                out += line;
            return out;
        }
    }
    std::string out;
    if (groupHeader < lines.size()) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            out += lines[i];
            if (i == groupHeader) {
                if (out.back() != '\n')
                    out += '\n';
                out += entry;
            }
        }
        return out;
    }
    out = text;
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    if (!out.empty())
        out += '\n';
    out += std::string(kDefaultGroup) + "\n" + entry;
    return out;
}

// The file that a write to `path` must replace: the target when `path` is a symbolic link (a shared
// configuration kept elsewhere), else `path` itself.
std::string WriteTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}

} // namespace

std::optional<std::u16string> ReadLinkSchemeCommand(std::u16string_view scheme) {
    const std::string key = "x-scheme-handler/" + Utf16ToUtf8(scheme);
    for (const std::string& list : MimeAppsLists()) {
        std::string text;
        if (!ReadText(list, text))
            continue;
        TakeByteOrderMark(text);
        std::optional<std::string> value = FindValue(text, kDefaultGroup, key);
        if (!value)
            continue;
        std::size_t start = 0;
        while (start < value->size()) {
            std::size_t end = value->find(';', start);
            if (end == std::string::npos)
                end = value->size();
            const std::string path =
                FindDesktopEntry(Trim(std::string_view(*value).substr(start, end - start)));
            start = end + 1;
            if (path.empty())
                continue;
            std::string entry;
            if (!ReadText(path, entry))
                return std::nullopt;
            TakeByteOrderMark(entry);
            std::optional<std::string> exec = FindValue(entry, "[Desktop Entry]", "Exec");
            if (!exec)
                return std::nullopt;
            return Utf8ToUtf16(*exec);
        }
    }
    return std::nullopt;
}

std::u16string MakeLinkSchemeCommand(std::u16string_view programPath, std::u16string_view marker) {
    const std::string path = Utf16ToUtf8(programPath);
    // The quoting rules of desktop entries: an argument with a reserved character goes in double quotes,
    // with '"', '`', '$' and '\' escaped by a backslash; '%' is doubled everywhere (it starts field
    // codes); then the string rule doubles every backslash again. A plain path stays unquoted, which
    // also suits launchers that only split the command at blanks.
    bool needsQuotes = path.empty();
    std::string escaped;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return {};
        if (std::string_view(" \t\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
            needsQuotes = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            escaped += '\\';
        if (c == '%')
            escaped += '%';
        escaped += c;
    }
    const std::string argument = needsQuotes ? "\"" + escaped + "\"" : escaped;
    return Utf8ToUtf16(EscapeStringValue(argument) + " %u " + Utf16ToUtf8(marker));
}

bool WriteLinkSchemeRegistration(std::u16string_view scheme, std::u16string_view command,
                                 std::u16string_view displayName, std::u16string_view comment,
                                 std::u16string_view iconName) {
    const std::string dataHome = DataHome();
    const std::string configHome = ConfigHome();
    if (dataHome.empty() || configHome.empty() || command.empty())
        return false;
    const std::string schemeName = Utf16ToUtf8(scheme);
    const std::string id = schemeName + ".desktop";
    const std::string applications = dataHome + "/applications";
    if (!MakeFolder(Utf8ToUtf16(applications)) || !MakeFolder(Utf8ToUtf16(configHome)))
        return false;

    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=" +
                        EscapeStringValue(Utf16ToUtf8(displayName)) +
                        "\n"
                        "Comment=" +
                        EscapeStringValue(Utf16ToUtf8(comment)) +
                        "\n"
                        "Exec=" +
                        Utf16ToUtf8(command) +
                        "\n"
                        "Icon=" +
                        EscapeStringValue(Utf16ToUtf8(iconName)) +
                        "\n"
                        "Terminal=false\n"
                        "Categories=AudioVideo;Audio;Player;\n"
                        "MimeType=x-scheme-handler/" +
                        schemeName + ";\n";
    // A desktop entry of that name that the user wrote (not one of ours: its command does not end with
    // our marker) stays as it is, and so the registration is not made.
    const std::string entryPath = applications + "/" + id;
    struct stat info {};
    if (lstat(entryPath.c_str(), &info) == 0) {
        std::string existing;
        const std::string ours = Utf16ToUtf8(command);
        const std::size_t blank = ours.rfind(' ');
        std::optional<std::string> exec;
        if (S_ISREG(info.st_mode) && ReadText(entryPath, existing)) {
            TakeByteOrderMark(existing);
            exec = FindValue(existing, "[Desktop Entry]", "Exec");
        }
        if (blank == std::string::npos || !exec || !exec->ends_with(ours.substr(blank))) {
            std::fprintf(stderr,
                         "vantri: %s was not written by Vantri; it is left as it is, and %s: links are not "
                         "registered\n",
                         entryPath.c_str(), schemeName.c_str());
            return false;
        }
    }
    if (!WriteText(entryPath, entry))
        return false;

    const std::string list = WriteTarget(configHome + "/mimeapps.list");
    std::string text;
    if (!ReadText(list, text)) {
        struct stat info {};
        // A list that exists but cannot be read is never replaced: it holds other programs' choices.
        if (lstat(list.c_str(), &info) == 0)
            return false;
        text.clear();
    }
    // A byte-order mark stays where it was, in front of the text.
    const bool mark = TakeByteOrderMark(text);
    return WriteText(list, (mark ? std::string(kByteOrderMark) : std::string()) +
                               WithDefaultHandler(text, "x-scheme-handler/" + schemeName, id + ";"));
}

} // namespace platform
