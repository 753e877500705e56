#pragma once
// Files for server tests: a temporary folder, MP3 recordings of silent frames, and a small archive.

#include <cstdint>
#include <filesystem>
#include <string>

namespace stationtest {

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// MPEG-1 Layer III frames at 128 kbit/s and 44.1 kHz: 417 bytes and 1152 samples each.
constexpr std::size_t kSilentFrameBytes = 417;
void WriteSilentMp3(const std::filesystem::path& path, std::size_t frames);
// The bytes of such a file, with each frame's last byte set to its frame number (so windows can be
// told apart).
std::string SilentMp3Bytes(std::size_t frames);

void WriteText(const std::filesystem::path& path, const std::string& text);

// Two stations: 1 ("Radio One", with a description, streams 1 and 2; stream 1 has tracks and chat) and
// 5 ("Night Shift", under /night/, one stream 3 without chat). Stream 1's recording is 100 frames.
void MakeSmallArchive(const std::filesystem::path& root);

} // namespace stationtest
