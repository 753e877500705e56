#include "support/main/CrashReport.h"

#include <windows.h>

#include <cstdio>

namespace testsupport {
namespace {

// Prints an address as module+offset, so that `addr2line -e <module> <image base + offset>` finds it.
void PrintAddress(int depth, DWORD64 address) {
    HMODULE module = nullptr;
    wchar_t name[MAX_PATH] = L"?";
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(address), &module))
        GetModuleFileNameW(module, name, MAX_PATH);
    const wchar_t* base = name;
    for (const wchar_t* at = name; *at; ++at)
        if (*at == L'\\' || *at == L'/')
            base = at + 1;
    std::fprintf(stderr, "  #%-2d %ls+0x%llx\n", depth, base,
                 static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
}

LONG WINAPI Report(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "crash: exception 0x%08lx at 0x%p in thread %lu\n",
                 info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress,
                 GetCurrentThreadId());
    // Walks the faulting thread's stack with the unwind tables; a leaf function has none, and its
    // return address is on top of the stack.
    CONTEXT context = *info->ContextRecord;
    for (int depth = 0; depth < 40 && context.Rip; ++depth) {
        PrintAddress(depth, context.Rip);
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (!function) {
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handlerData = nullptr;
        DWORD64 establisherFrame = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                         &establisherFrame, nullptr);
    }
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void InstallCrashReport() {
    SetUnhandledExceptionFilter(Report);
    // No error boxes for a crash or a missing file: a test run has nobody to answer them.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

} // namespace testsupport
