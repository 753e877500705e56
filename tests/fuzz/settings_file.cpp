// Loads arbitrary bytes as a settings file, through the file system as at start-up, and checks that the
// values are safe to use and that what would be saved reads back the same.

#include "app/MySettings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The application-data folder the inputs are stored in: made once per run, removed at exit.
class FuzzFolder {
public:
    FuzzFolder() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() / ("vantri-fuzz-settings-" + std::to_string(seed()));
        std::filesystem::create_directories(path_ / "Vantri");
    }
    ~FuzzFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

const std::filesystem::path& AppDataFolder() {
    static const FuzzFolder folder;
    return folder.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& folder = AppDataFolder();
    {
        std::ofstream out(folder / "Vantri" / "settings.vts", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    MySettings settings(folder.u16string());
    Check(!settings.path.empty());
    Check(settings.version == MySettings::kVersion);
    Check(settings.volume >= 0.0f && settings.volume <= 1.0f);
    Check(settings.balance == 0.0f);

    const auto record = settings.FileRecord();
    Check(record[0] == 3 && record[1] == 0);
    MySettings copy(u"");
    copy.ReadFileRecord(record);
    Check(copy.flags == settings.flags);
    Check(copy.windowRect == settings.windowRect);
    Check(copy.volume == settings.volume);
    Check(copy.lastStationId == settings.lastStationId && copy.lastStreamId == settings.lastStreamId &&
          copy.lastSecond == settings.lastSecond);
    Check(copy.FileRecord() == record);
    return 0;
}
