#pragma once
// Opening a file beneath a directory handle without following any link out of it, at every request, so
// that a recording replaced by a symbolic link after the archive was loaded is not served from outside.

#include <filesystem>

namespace station {

// Opens `relative` (a path inside the folder `directoryFd` stands for) for reading with openat2 and
// RESOLVE_BENEATH: links that stay inside are followed, links that lead out, "..", absolute paths and
// magic links are refused. On kernels without openat2 it falls back to OpenBeneathNoLinks. Answers the
// descriptor or -1.
int OpenBeneath(int directoryFd, const std::filesystem::path& relative);
// The fallback: walks the path a component at a time and follows no link at all.
int OpenBeneathNoLinks(int directoryFd, const std::filesystem::path& relative);

} // namespace station
