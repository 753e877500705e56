// The test programs' entry: a crash is reported with where it happened before the program ends, rather
// than left to the system (under Wine, a debugger that may wait for ever).

#include "support/main/CrashReport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testsupport::InstallCrashReport();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
