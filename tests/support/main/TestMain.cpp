// The test programs' entry: a crash is reported with where it happened before the program ends, rather
// than left to the system (under Wine, a debugger that may wait for ever).

#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"
#include "support/main/CrashReport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testsupport::InstallCrashReport();
    ::testing::InitGoogleTest(&argc, argv);
    // Every test program keeps stream bytes in a cache folder of its own, empty at its start and gone at
    // its end: no test plays what another test's server served, and the user's cache is never touched.
    testsupport::ScratchFolder cache;
    testsupport::ScopedEnvironment cacheHome("XDG_CACHE_HOME", cache.path().string());
    return RUN_ALL_TESTS();
}
