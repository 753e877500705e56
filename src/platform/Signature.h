#pragma once
// Checking that a file was signed by the holder of a known Ed25519 key, in the format of the minisign
// tool (so that the makers sign with a standard tool): a public key text "RW..." (base64 of the
// algorithm "Ed", an 8-byte key id and the 32-byte key) and a signature file of four lines: an untrusted
// comment, base64 of the algorithm ("Ed" over the file, or "ED" over its BLAKE2b-512 hash), the key id
// and the 64-byte signature, a "trusted comment: " line, and base64 of the 64-byte signature of the
// signature and that comment together. Any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// True only when `signatureFile` is well formed, names the key `publicKey` (a minisign public key line,
// or a whole public key file), and both its signatures hold for `data` and its trusted comment.
bool VerifyMinisignSignature(std::span<const std::uint8_t> data, std::string_view signatureFile,
                             std::string_view publicKey);

// The same check over a file handed over in pieces, so that a large file never lies whole in memory.
// Only the hashed form ("ED", the tool's default) can be checked this way; a signature of the legacy form
// is refused.
class MinisignStreamVerifier {
public:
    MinisignStreamVerifier();
    ~MinisignStreamVerifier();
    MinisignStreamVerifier(const MinisignStreamVerifier&) = delete;
    MinisignStreamVerifier& operator=(const MinisignStreamVerifier&) = delete;

    // The next piece of the file.
    void Update(std::span<const std::uint8_t> bytes);
    // The signature's trusted comment when `signatureFile` is well formed, of the hashed form, names one
    // of `publicKeys` (each a key line or a whole key file) and both its signatures hold for the pieces
    // given and the comment; nothing otherwise. Call once, after the last piece.
    std::optional<std::string> Finish(std::string_view signatureFile,
                                      std::span<const std::string_view> publicKeys);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
