// The link scheme in the registry of the current user (HKEY_CURRENT_USER\Software\classes\<scheme>):
// "URL Protocol" marks it a link scheme, DefaultIcon names the program's first icon, and
// shell\open\command holds the command the shell runs for a link.
#include "platform/LinkSchemeRegistry.h"
#include "platform/win32/Win32Handles.h"

namespace platform {

namespace {

constexpr DWORD kMaxCommandUnits = 260; // the command is read into a buffer of 260 units

std::u16string SchemeKey(std::u16string_view scheme) {
    return u"Software\\classes\\" + std::u16string(scheme);
}

// Sets a REG_SZ value; the size given counts the terminating zero.
bool SetText(HKEY key, const wchar_t* name, const std::u16string& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))) == ERROR_SUCCESS;
}

// Creates `path` under HKEY_CURRENT_USER and sets value `name` to `text`.
bool WriteKey(const std::u16string& path, const wchar_t* name, const std::u16string& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool written = SetText(key, name, text);
    RegCloseKey(key);
    return written;
}

} // namespace

std::optional<std::u16string> ReadLinkSchemeCommand(std::u16string_view scheme) {
    HKEY key = nullptr;
    const std::u16string path = SchemeKey(scheme) + u"\\shell\\open\\command";
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t buffer[kMaxCommandUnits] = {};
    DWORD type = 0;
    DWORD bytes = sizeof buffer;
    const LONG result =
        RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    // A longer value, another type or any error counts as no registration.
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    std::size_t units = bytes / sizeof(wchar_t);
    while (units > 0 && buffer[units - 1] == 0)
        --units;
    return FromWide(std::wstring_view(buffer, units));
}

std::u16string MakeLinkSchemeCommand(std::u16string_view programPath, std::u16string_view marker) {
    for (char16_t c : programPath) {
        if (c < 0x20 || c == u'"')
            return {};
    }
    return u"\"" + std::u16string(programPath) + u"\" %1 " + std::u16string(marker);
}

bool WriteLinkSchemeRegistration(std::u16string_view scheme, std::u16string_view command,
                                 std::u16string_view displayName, std::u16string_view comment,
                                 std::u16string_view iconName) {
    (void)displayName;
    (void)comment;
    const std::u16string root = SchemeKey(scheme);
    // Deepest first: a key with subkeys cannot be deleted. Failures (keys not there) do not matter.
    for (const std::u16string& sub : {root + u"\\shell\\open\\command", root + u"\\shell\\open",
                                      root + u"\\shell", root + u"\\DefaultIcon", root})
        RegDeleteKeyW(HKEY_CURRENT_USER, Wide(sub));
    if (!WriteKey(root, L"URL Protocol", u""))
        return false;
    // The icon: the program file's first icon ("path",1), or the icon named when it is not a program.
    std::u16string icon(iconName);
    if (command.size() > 1 && command[0] == u'"') {
        const std::size_t end = command.find(u'"', 1);
        if (end != std::u16string_view::npos)
            icon = std::u16string(command.substr(0, end + 1)) + u",1";
    }
    const bool iconWritten = WriteKey(root + u"\\DefaultIcon\\", nullptr, icon);
    const bool commandWritten = WriteKey(root + u"\\shell\\open\\command", nullptr, std::u16string(command));
    return iconWritten && commandWritten;
}

} // namespace platform
