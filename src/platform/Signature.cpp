// Minisign signatures checked with libsodium's Ed25519 and BLAKE2b: one implementation for every platform
// (the Windows build links a static libsodium made from Debian's source).
#include "platform/Signature.h"

#include <sodium.h>

#include <array>
#include <string>
#include <vector>

namespace platform {

namespace {

constexpr std::size_t kKeyIdBytes = 8;
constexpr std::size_t kPublicKeyRecordBytes = 2 + kKeyIdBytes + crypto_sign_PUBLICKEYBYTES;
constexpr std::size_t kSignatureRecordBytes = 2 + kKeyIdBytes + crypto_sign_BYTES;
constexpr std::string_view kTrustedPrefix = "trusted comment: ";

bool Decode(std::string_view text, std::vector<unsigned char>& out, std::size_t expected) {
    out.assign(expected + 1, 0);
    std::size_t length = 0;
    if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != expected)
        return false;
    out.resize(length);
    return true;
}

// Splits `text` into lines without their ends ("\n" or "\r\n").
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace

bool VerifyMinisignSignature(std::span<const std::uint8_t> data, std::string_view signatureFile,
                             std::string_view publicKey) {
    if (sodium_init() < 0)
        return false;
    // A whole public key file carries the key on its last non-empty line.
    std::string_view keyLine;
    for (std::string_view line : Lines(publicKey))
        if (!line.empty() && line.rfind("untrusted comment:", 0) != 0)
            keyLine = line;
    std::vector<unsigned char> key;
    if (!Decode(keyLine, key, kPublicKeyRecordBytes) || key[0] != 'E' || key[1] != 'd')
        return false;

    const std::vector<std::string_view> lines = Lines(signatureFile);
    if (lines.size() < 4 || lines[0].rfind("untrusted comment:", 0) != 0 ||
        lines[2].rfind(kTrustedPrefix, 0) != 0)
        return false;
    for (std::size_t i = 4; i < lines.size(); ++i)
        if (!lines[i].empty())
            return false;
    std::vector<unsigned char> signature;
    std::vector<unsigned char> global;
    if (!Decode(lines[1], signature, kSignatureRecordBytes) || !Decode(lines[3], global, crypto_sign_BYTES))
        return false;
    if (signature[0] != 'E' || (signature[1] != 'd' && signature[1] != 'D'))
        return false;
    if (!std::equal(signature.begin() + 2, signature.begin() + 2 + kKeyIdBytes, key.begin() + 2))
        return false;
    const unsigned char* keyBytes = key.data() + 2 + kKeyIdBytes;
    const unsigned char* signatureBytes = signature.data() + 2 + kKeyIdBytes;

    bool fileSigned = false;
    if (signature[1] == 'D') {
        std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
        crypto_generichash(hash.data(), hash.size(), data.data(), data.size(), nullptr, 0);
        fileSigned = crypto_sign_verify_detached(signatureBytes, hash.data(), hash.size(), keyBytes) == 0;
    } else {
        fileSigned = crypto_sign_verify_detached(signatureBytes, data.data(), data.size(), keyBytes) == 0;
    }
    if (!fileSigned)
        return false;
    // The trusted comment is signed together with the file's signature.
    const std::string_view comment = lines[2].substr(kTrustedPrefix.size());
    std::vector<unsigned char> signedComment(signatureBytes, signatureBytes + crypto_sign_BYTES);
    signedComment.insert(signedComment.end(), comment.begin(), comment.end());
    return crypto_sign_verify_detached(global.data(), signedComment.data(), signedComment.size(), keyBytes) ==
           0;
}

} // namespace platform
