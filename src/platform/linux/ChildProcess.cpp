#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
}

} // namespace

ChildProcessResult RunChildProcess(const std::vector<std::string>& arguments,
                                   const std::map<std::string, std::string>& environment,
                                   const std::string& outputPath, bool inputStaysOpen) {
    ChildProcessResult result;
    if (arguments.empty())
        return result;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // The child's environment is built here: after fork only async-signal-safe calls may be made.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (!environment.contains(variable.substr(0, variable.find('='))))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    int input[2] = {-1, -1};
    if (inputStaysOpen && pipe2(input, O_CLOEXEC) != 0)
        return result;
    const pid_t child = fork();
    if (child < 0) {
        if (inputStaysOpen) {
            close(input[0]);
            close(input[1]);
        }
        return result;
    }
    if (child == 0) {
        if (!outputPath.empty()) {
            const int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                dup2(fd, STDOUT_FILENO);
                dup2(fd, STDERR_FILENO);
            }
        }
        const int childInput = inputStaysOpen ? input[0] : open("/dev/null", O_RDONLY);
        if (childInput >= 0)
            dup2(childInput, STDIN_FILENO);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    result.started = true;
    if (inputStaysOpen)
        close(input[0]); // the write end stays open here until the child has ended
    int status = 0;
    rusage usage{};
    pid_t waited;
    do {
        waited = wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    if (inputStaysOpen)
        close(input[1]);
    if (waited != child)
        return result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.userSeconds = Seconds(usage.ru_utime);
    result.systemSeconds = Seconds(usage.ru_stime);
    result.peakResidentKilobytes = usage.ru_maxrss;
    return result;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

bool TerminateProcess(long processId) {
    return processId > 0 && kill(static_cast<pid_t>(processId), SIGTERM) == 0;
}

} // namespace platform
