#pragma once

namespace testsupport {

// On Windows, an unhandled exception prints its code, address and the addresses of its callers (module
// and offset, for addr2line) and ends the program with exit code 3. On Linux nothing is installed: the
// sanitizers and the system report crashes there.
void InstallCrashReport();

} // namespace testsupport
