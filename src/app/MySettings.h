#pragma once
// The settings store: the user's options, the window rectangle, the volume and the last play position,
// kept in the file "settings.vts" in the folder "Vantri" under the local application-data folder. It
// loads the file when constructed; callers change fields directly and then call Save, which writes the
// whole record at once. Only the user-interface thread touches it.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Option bits of MySettings::flags.
enum SettingsFlag : std::uint32_t {
    SettingsFlag_ShowChatBeyondPlayPosition = 0x01, // chat rows after the play position are shown too
    SettingsFlag_Unused = 0x02,                     // kept as read and written back unchanged
    SettingsFlag_Muted = 0x04,                      // output is muted
    SettingsFlag_MinimizeToTrayOnClose = 0x08,      // closing the window hides it in the notification area
    SettingsFlag_HideConversations = 0x10,          // track-list entries of kind 4 are left out
    SettingsFlag_CheckLinkScheme = 0x20,   // at start, ask to register the link scheme if another owns it
    SettingsFlag_ResumePlaying = 0x40,     // record the play position and resume it at the next start
    SettingsFlag_NoUpdateCheck = 0x80,     // do not ask the update server for a new version at start
    SettingsFlag_HideQuietJoins = 0x100,   // chat joins and parts of people who say nothing are not shown
    SettingsFlag_ShowChatActivity = 0x200, // the position bar shades where the chat was busy
    SettingsFlag_LevelLoudness = 0x400,    // shows are played towards one loudness (-16 LUFS)
    SettingsFlag_HighContrast = 0x800, // text, lists and the focus ring in high contrast (app/HighContrast.h)
};

class MySettings {
public:
    // Screen coordinates in pixels, the outer frame included.
    struct Rect {
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t right = 0;
        std::int32_t bottom = 0;

        bool operator==(const Rect&) const = default;
    };

    static constexpr std::uint16_t kVersion = 3;
    static constexpr std::uint32_t kDefaultFlags =
        SettingsFlag_MinimizeToTrayOnClose | SettingsFlag_CheckLinkScheme;
    static constexpr Rect kDefaultWindowRect{50, 50, 850, 650};
    static constexpr float kDefaultVolume = 0.4f;

    // Units, terminating zero included: a settings path that does not fit turns saving off.
    static constexpr std::size_t kMaxPath = 260;

    // Bytes of a file of each version: 1 holds version and flags, 2 adds the window rectangle and the
    // volume, 3 adds the last play position. Only version 3 is written.
    static constexpr std::size_t kVersion1FileSize = 6;
    static constexpr std::size_t kVersion2FileSize = 26;
    static constexpr std::size_t kFileSize = 38;

    static constexpr std::u16string_view kFolderName = u"Vantri";
    static constexpr std::u16string_view kFileName = u"settings.vts";

    // Defaults, then Load from the user's local application-data folder.
    MySettings();
    // Defaults, then Load with `appDataFolder` standing for the local application-data folder.
    explicit MySettings(std::u16string_view appDataFolder);

    // Finds the folder and the file and reads the file if there is one. Creates the folder when it is
    // missing; `path` is left empty (nothing will be saved) when it cannot be made or the file's path
    // would be too long. A missing, unreadable or unknown file leaves the defaults.
    void Load(std::u16string_view appDataFolder);

    // Writes the whole record, replacing the file in one step so that it always holds a whole record.
    // Does nothing when `path` is empty. False when the file could not be written; the values in memory
    // stay as set and the old file stays as it was.
    bool Save() const;

    // Takes the fields a settings file of any version holds from `bytes` (the file's start), in file
    // order. A field the bytes hold only part of, and every field after it, keeps its value; a file of an
    // unknown version gives nothing. A volume that is not a number keeps the default; others are held to
    // 0 to 1.
    void ReadFileRecord(std::span<const std::uint8_t> bytes);

    // The version 3 record of the current values.
    std::array<std::uint8_t, kFileSize> FileRecord() const;

    bool HasFlag(std::uint32_t flag) const { return (flags & flag) != 0; }
    void SetFlag(std::uint32_t flag, bool on) { flags = on ? (flags | flag) : (flags & ~flag); }

    std::uint16_t version = kVersion; // written to the file; loading does not change it
    std::u16string path;              // the settings file; empty turns saving off
    std::uint32_t flags = kDefaultFlags;
    Rect windowRect = kDefaultWindowRect;
    float volume = kDefaultVolume; // 0 to 1
    float balance = 0.0f;          // handed to the media thread with the volume; not stored
    std::int32_t lastStationId = 0;
    std::int32_t lastStreamId = 0;
    std::int32_t lastSecond = 0; // whole seconds into the stream
};
