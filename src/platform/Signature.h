#pragma once
// Checking that a file was signed by the holder of a known Ed25519 key, in the format of the minisign
// tool (so that the makers sign with a standard tool): a public key text "RW..." (base64 of the
// algorithm "Ed", an 8-byte key id and the 32-byte key) and a signature file of four lines: an untrusted
// comment, base64 of the algorithm ("Ed" over the file, or "ED" over its BLAKE2b-512 hash), the key id
// and the 64-byte signature, a "trusted comment: " line, and base64 of the 64-byte signature of the
// signature and that comment together. Any thread.

#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

// True only when `signatureFile` is well formed, names the key `publicKey` (a minisign public key line,
// or a whole public key file), and both its signatures hold for `data` and its trusted comment.
bool VerifyMinisignSignature(std::span<const std::uint8_t> data, std::string_view signatureFile,
                             std::string_view publicKey);

} // namespace platform
