#pragma once
// Folders the program keeps its files in, and the folder operations it needs. Paths are UTF-16 texts;
// the backend converts them to the system's form (UTF-8 on Linux).

#include <string>
#include <string_view>

namespace platform {

// The user's folder for program data that stays on this machine (the local application-data folder).
// Linux: $XDG_CONFIG_HOME when it is set to an absolute path, else the home folder followed by "/.config".
// It is not created here. Empty when no such folder can be named (no home folder).
std::u16string LocalAppDataFolder();

// The user's folder for data the program can fetch again (caches). Linux: $XDG_CACHE_HOME when it is set
// to an absolute path, else the home folder followed by "/.cache"; Windows: the local application-data
// folder. It is not created here. Empty when no such folder can be named.
std::u16string CacheFolder();

// The folder for temporary files. Linux: $TMPDIR when it is set to an absolute path, else "/tmp".
std::u16string TempFolder();

// The full path of the running program; empty when the system does not say.
std::u16string OwnExecutablePath();

// The character that separates folder names in a path ("/" on Linux).
char16_t PathSeparator();

// What the name of a program file ends with: ".exe" on Windows, nothing on Linux.
std::u16string_view ProgramFileSuffix();

// `folder`, one separator and `name`; a separator already ending `folder` is not doubled.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// True when `path` names an existing folder (a file of that name does not count).
bool FolderExists(std::u16string_view path);

// Creates the folder `path`, and any missing folders above it, readable only by the user (the mode the
// XDG base-directory rules ask for). True when the folder exists afterwards; false when it cannot be made
// (no permission, a file stands in the way, a read-only file system).
bool MakeFolder(std::u16string_view path);

} // namespace platform
