#pragma once
// Reading and writing whole small files. Paths are UTF-16 texts (see Paths.h).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Reads at most `maxBytes` bytes from the start of the file into `bytes` (which is replaced; a shorter
// file gives fewer bytes). False when the file cannot be opened or read, `bytes` then being empty.
bool ReadFileStart(std::u16string_view path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes);

// Replaces the file `path` with one holding exactly `parts`, one after the other, as one step: the bytes are
// written to a new file beside it (`path` followed by ".new"), flushed to the disk, and that file is renamed
// over `path`. Whatever happens on the way (a full disk, a crash, a power cut), `path` holds either the whole
// old file or the whole new one. False when any step failed; the new file is then removed and `path` is
// untouched.
//
// `flushToDisk` false leaves out the flush, for files whose contents carry their own check (a checksum
// read before use): a power cut may then leave a new file of the wrong bytes, never a half-renamed one, and
// writing costs no wait for the disk.
bool WriteFileAtomically(std::u16string_view path, std::span<const std::span<const std::uint8_t>> parts,
                         bool flushToDisk = true);

// The same for a file of one part.
inline bool WriteFileAtomically(std::u16string_view path, std::span<const std::uint8_t> bytes,
                                bool flushToDisk = true) {
    return WriteFileAtomically(path, std::span<const std::span<const std::uint8_t>>(&bytes, 1), flushToDisk);
}

} // namespace platform
