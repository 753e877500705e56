#include "app/MySettings.h"

#include "platform/Files.h"
#include "platform/Paths.h"

#include <bit>
#include <cmath>
#include <vector>

namespace {

// Reads little-endian fields in file order. Once a field is not held whole by the bytes, neither it nor
// any later field is read.
class RecordReader {
public:
    explicit RecordReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool Read(std::uint32_t& value) {
        if (failed_ || bytes_.size() - offset_ < 4) {
            failed_ = true;
            return false;
        }
        value = static_cast<std::uint32_t>(bytes_[offset_]) |
                static_cast<std::uint32_t>(bytes_[offset_ + 1]) << 8 |
                static_cast<std::uint32_t>(bytes_[offset_ + 2]) << 16 |
                static_cast<std::uint32_t>(bytes_[offset_ + 3]) << 24;
        offset_ += 4;
        return true;
    }
    bool Read(std::int32_t& value) {
        std::uint32_t raw = 0;
        if (!Read(raw))
            return false;
        value = static_cast<std::int32_t>(raw);
        return true;
    }
    // The four edges together: a rectangle with some edges from the file and some defaults means nothing.
    bool Read(MySettings::Rect& rect) {
        if (failed_ || bytes_.size() - offset_ < 16) {
            failed_ = true;
            return false;
        }
        return Read(rect.left) && Read(rect.top) && Read(rect.right) && Read(rect.bottom);
    }
    bool Read(float& value) {
        std::uint32_t raw = 0;
        if (!Read(raw))
            return false;
        value = std::bit_cast<float>(raw);
        return true;
    }

    void Skip(std::size_t count) { offset_ += count; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    bool failed_ = false;
};

class RecordWriter {
public:
    explicit RecordWriter(std::span<std::uint8_t> bytes) : bytes_(bytes) {}

    void Write(std::uint16_t value) {
        bytes_[offset_++] = static_cast<std::uint8_t>(value);
        bytes_[offset_++] = static_cast<std::uint8_t>(value >> 8);
    }
    void Write(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes_[offset_++] = static_cast<std::uint8_t>(value >> shift);
    }
    void Write(std::int32_t value) { Write(static_cast<std::uint32_t>(value)); }
    void Write(float value) { Write(std::bit_cast<std::uint32_t>(value)); }
    void Write(const MySettings::Rect& rect) {
        Write(rect.left);
        Write(rect.top);
        Write(rect.right);
        Write(rect.bottom);
    }

private:
    std::span<std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

// A volume from a file, where anything may stand: the media thread relies on 0 to 1.
float SaneVolume(float volume) {
    if (std::isnan(volume))
        return MySettings::kDefaultVolume;
    return std::fmin(std::fmax(volume, 0.0f), 1.0f);
}

} // namespace

MySettings::MySettings() {
    Load(platform::LocalAppDataFolder());
}

MySettings::MySettings(std::u16string_view appDataFolder) {
    Load(appDataFolder);
}

void MySettings::Load(std::u16string_view appDataFolder) {
    path.clear();
    if (appDataFolder.empty())
        return;
    const std::u16string folder = platform::JoinPath(appDataFolder, kFolderName);
    const std::u16string file = platform::JoinPath(folder, kFileName);
    // Checked before the folder is made: a folder that could never hold the file is not left behind.
    if (file.size() + 1 > kMaxPath)
        return;

    if (!platform::FolderExists(folder)) {
        // A new folder holds no file; the defaults stay.
        if (platform::MakeFolder(folder))
            path = file;
        return;
    }
    path = file;

    std::vector<std::uint8_t> bytes;
    if (!platform::ReadFileStart(path, kFileSize, bytes))
        return;
    ReadFileRecord(bytes);
}

void MySettings::ReadFileRecord(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2)
        return;
    const std::uint16_t fileVersion = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    RecordReader reader(bytes);
    reader.Skip(2);
    switch (fileVersion) {
    case 1:
        reader.Read(flags);
        break;
    case 2:
        reader.Read(flags);
        reader.Read(windowRect);
        reader.Read(volume);
        break;
    case 3:
        reader.Read(flags);
        reader.Read(windowRect);
        reader.Read(volume);
        reader.Read(lastStationId);
        reader.Read(lastStreamId);
        reader.Read(lastSecond);
        break;
    default:
        break;
    }
    volume = SaneVolume(volume);
}

std::array<std::uint8_t, MySettings::kFileSize> MySettings::FileRecord() const {
    std::array<std::uint8_t, kFileSize> bytes{};
    RecordWriter writer(bytes);
    writer.Write(kVersion);
    writer.Write(flags);
    writer.Write(windowRect);
    writer.Write(volume);
    writer.Write(lastStationId);
    writer.Write(lastStreamId);
    writer.Write(lastSecond);
    return bytes;
}

bool MySettings::Save() const {
    if (path.empty())
        return false;
    const std::array<std::uint8_t, kFileSize> bytes = FileRecord();
    return platform::WriteFileAtomically(path, bytes);
}
