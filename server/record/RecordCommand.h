#pragma once
// The options of `vantri-station record`, read into a recorder and run.

#include "CommandLine.h"

namespace station::record {

extern const char* const kRecordUsage;

// Answers the program's exit status.
int RunRecordCommand(CommandLine& line);

} // namespace station::record
