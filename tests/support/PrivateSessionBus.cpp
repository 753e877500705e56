#include "support/PrivateSessionBus.h"

#include "platform/ChildProcess.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace testsupport {

namespace {

std::filesystem::path TemporaryFile(const char* stem) {
    std::random_device seed;
    return std::filesystem::temp_directory_path() /
           (std::string(stem) + std::to_string(seed()) + std::to_string(seed()));
}

std::string ReadAndRemove(const std::filesystem::path& path) {
    std::stringstream text;
    {
        std::ifstream in(path, std::ios::binary);
        text << in.rdbuf();
    }
    std::error_code error;
    std::filesystem::remove(path, error);
    return text.str();
}

} // namespace

PrivateSessionBus::PrivateSessionBus() {
    const auto output = TemporaryFile("vantri-bus-");
    // The daemon forks into the background once it listens, after printing its address and process id.
    const auto result = platform::RunChildProcess(
        {"dbus-daemon", "--session", "--fork", "--nopidfile", "--print-address=1", "--print-pid=1"}, {},
        output.string());
    std::istringstream lines(ReadAndRemove(output));
    std::string address;
    std::string pid;
    if (result.exitCode != 0 || !std::getline(lines, address) || !std::getline(lines, pid) || address.empty())
        return;
    address_ = address;
    processId_ = std::stol(pid);
    environment_ = std::make_unique<ScopedEnvironment>("DBUS_SESSION_BUS_ADDRESS", address_);
}

PrivateSessionBus::~PrivateSessionBus() {
    environment_.reset();
    End();
}

void PrivateSessionBus::End() {
    if (processId_ > 0)
        platform::TerminateProcess(processId_);
    processId_ = 0;
}

std::string RunTool(const std::vector<std::string>& arguments, int* exitCode) {
    const auto output = TemporaryFile("vantri-tool-");
    const auto result = platform::RunChildProcess(arguments, {}, output.string());
    if (exitCode)
        *exitCode = result.exitCode;
    return ReadAndRemove(output);
}

} // namespace testsupport
