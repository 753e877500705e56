#include "ProgramProcess.h"

#include "support/Deadline.h"

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace testsupport {

ProgramProcess::ProgramProcess(const std::vector<std::string>& arguments,
                               const std::map<std::string, std::optional<std::string>>& environment,
                               const std::string& outputPath) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (!environment.contains(variable.substr(0, variable.find('='))))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        if (value)
            variables.push_back(name + "=" + *value);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (in >= 0)
            dup2(in, STDIN_FILENO);
        // The program starts as from a desktop: no signal blocked.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

ProgramProcess::~ProgramProcess() {
    if (pid_ <= 0 || ended_)
        return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

std::optional<int> ProgramProcess::WaitForEnd(std::chrono::milliseconds timeout) {
    if (pid_ <= 0)
        return -1;
    WaitFor(
        [&] {
            if (ended_)
                return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            return ended_;
        },
        timeout);
    if (!ended_)
        return std::nullopt;
    return exitCode_;
}

namespace {

// The parent process id and state of `pid` from /proc; false when there is no such process.
bool ReadStat(pid_t pid, pid_t& parent, char& state) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return false;
    // The name in parentheses may hold blanks and parentheses: the fields follow the last ')'.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(line.substr(close + 1));
    long ppid = 0;
    fields >> state >> ppid;
    parent = static_cast<pid_t>(ppid);
    return static_cast<bool>(fields);
}

std::string Executable(pid_t pid) {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
}

// The sockets `pid` holds open, by inode.
std::set<std::string> Sockets(pid_t pid) {
    std::set<std::string> sockets;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.rfind("socket:", 0) == 0)
            sockets.insert(target);
    }
    return sockets;
}

} // namespace

std::set<pid_t> ForkedChildrenWithOwnSocketsOf(pid_t parent) {
    std::set<pid_t> children;
    const std::string own = Executable(parent);
    const std::set<std::string> parentSockets = Sockets(parent);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto pid = static_cast<pid_t>(std::stol(name));
        pid_t ppid = 0;
        char state = 0;
        if (!ReadStat(pid, ppid, state) || ppid != parent || state == 'Z' || Executable(pid) != own)
            continue;
        for (const std::string& socket : Sockets(pid))
            if (!parentSockets.contains(socket)) {
                children.insert(pid);
                break;
            }
    }
    return children;
}

bool ProcessRuns(pid_t pid) {
    pid_t parent = 0;
    char state = 0;
    return ReadStat(pid, parent, state) && state != 'Z' && state != 'X';
}

} // namespace testsupport
