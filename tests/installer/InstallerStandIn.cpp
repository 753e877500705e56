// Stands in for the update installer in the Windows update tests: writes the arguments it was started
// with, one per line, to a new file in the folder named by VANTRI_TEST_INSTALLER_RECORDS, and ends. The
// file is written under a temporary name first, so a test sees it only whole.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

int main(int argc, char** argv) {
    const char* folder = std::getenv("VANTRI_TEST_INSTALLER_RECORDS");
    if (folder == nullptr || *folder == '\0')
        return 2;
    std::random_device seed;
    const std::string name = "started-" + std::to_string(seed()) + std::to_string(seed());
    const std::filesystem::path part = std::filesystem::path(folder) / (name + ".part");
    {
        std::ofstream out(part, std::ios::binary);
        for (int i = 1; i < argc; ++i)
            out << argv[i] << '\n';
        if (!out)
            return 1;
    }
    std::error_code error;
    std::filesystem::rename(part, std::filesystem::path(folder) / (name + ".txt"), error);
    return error ? 1 : 0;
}
