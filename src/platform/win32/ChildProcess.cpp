#include "platform/ChildProcess.h"
#include "platform/Utf.h"
#include "platform/win32/Win32Handles.h"

#include <psapi.h>

namespace platform {

namespace {

double Seconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

} // namespace

ChildProcessResult RunChildProcess(const std::vector<std::string>& arguments,
                                   const std::map<std::string, std::string>& environment,
                                   const std::string& outputPath, bool inputStaysOpen) {
    ChildProcessResult result;
    if (arguments.empty())
        return result;
    std::u16string commandLine;
    for (const std::string& argument : arguments)
        commandLine += (commandLine.empty() ? u"" : u" ") + QuotedArgument(Utf8ToUtf16(argument));

    // The environment block: this process's variables with the additions.
    std::u16string block;
    if (!environment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        for (const wchar_t* p = current; p && *p; p += wcslen(p) + 1) {
            std::u16string entry = FromWide(p);
            std::size_t equals = entry.find(u'=', 1);
            std::string name = Utf16ToUtf8(entry.substr(0, equals));
            if (!environment.contains(name))
                block += entry + u'\0';
        }
        if (current)
            FreeEnvironmentStringsW(current);
        for (const auto& [name, value] : environment)
            block += Utf8ToUtf16(name + "=" + value) + u'\0';
        block += u'\0';
    }

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = nullptr;
    if (!outputPath.empty()) {
        output = CreateFileW(Wide(Utf8ToUtf16(outputPath)), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE)
            return result;
    }
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return result;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    if (!inputStaysOpen) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = output ? output : GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = output ? output : GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring line = WideString(commandLine);
    result.started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       block.empty() ? nullptr : block.data(), nullptr, &startup, &process) != FALSE;
    CloseHandle(readEnd);
    if (output)
        CloseHandle(output);
    if (result.started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            result.exitCode = static_cast<int>(code);
        FILETIME created, exited, kernel, user;
        if (GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
            result.userSeconds = Seconds(user);
            result.systemSeconds = Seconds(kernel);
        }
        PROCESS_MEMORY_COUNTERS memory{};
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
            result.peakResidentKilobytes = static_cast<long>(memory.PeakWorkingSetSize / 1024);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (writeEnd)
        CloseHandle(writeEnd);
    return result;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    return Seconds(user) + Seconds(kernel);
}

bool TerminateProcess(long processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId));
    if (!process)
        return false;
    const bool ended = ::TerminateProcess(process, 1) != FALSE;
    CloseHandle(process);
    return ended;
}

std::u16string QuotedArgument(std::u16string_view argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string_view::npos)
        return std::u16string(argument);
    std::u16string out = u"\"";
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, u'\\');
    out += u'"';
    return out;
}

} // namespace platform
