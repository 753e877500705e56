#include "support/main/CrashReport.h"

namespace testsupport {

void InstallCrashReport() {}

} // namespace testsupport
