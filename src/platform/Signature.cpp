// Minisign signatures checked with libsodium's Ed25519 and BLAKE2b: one implementation for every platform
// (the Windows build links a static libsodium made from Debian's source).
#include "platform/Signature.h"

#include <sodium.h>

#include <algorithm>
#include <array>
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

// A public key: "Ed", the key id, the key.
bool ParseKey(std::string_view publicKey, std::vector<unsigned char>& key) {
    // A whole public key file carries the key on its last non-empty line.
    std::string_view keyLine;
    for (std::string_view line : Lines(publicKey))
        if (!line.empty() && line.rfind("untrusted comment:", 0) != 0)
            keyLine = line;
    return Decode(keyLine, key, kPublicKeyRecordBytes) && key[0] == 'E' && key[1] == 'd';
}

struct ParsedSignature {
    std::vector<unsigned char> signature; // algorithm, key id, signature
    std::vector<unsigned char> global;    // over the signature and the trusted comment
    std::string_view comment;
    bool hashed() const { return signature[1] == 'D'; }
    const unsigned char* keyId() const { return signature.data() + 2; }
    const unsigned char* bytes() const { return signature.data() + 2 + kKeyIdBytes; }
};

bool ParseSignature(std::string_view signatureFile, ParsedSignature& parsed) {
    const std::vector<std::string_view> lines = Lines(signatureFile);
    if (lines.size() < 4 || lines[0].rfind("untrusted comment:", 0) != 0 ||
        lines[2].rfind(kTrustedPrefix, 0) != 0)
        return false;
    for (std::size_t i = 4; i < lines.size(); ++i)
        if (!lines[i].empty())
            return false;
    if (!Decode(lines[1], parsed.signature, kSignatureRecordBytes) ||
        !Decode(lines[3], parsed.global, crypto_sign_BYTES))
        return false;
    if (parsed.signature[0] != 'E' || (parsed.signature[1] != 'd' && parsed.signature[1] != 'D'))
        return false;
    parsed.comment = lines[2].substr(kTrustedPrefix.size());
    return true;
}

// Both signatures of `parsed` by `key`, the first over `message` (the file, or its hash).
bool Holds(const ParsedSignature& parsed, const std::vector<unsigned char>& key, const unsigned char* message,
           std::size_t length) {
    if (!std::equal(parsed.keyId(), parsed.keyId() + kKeyIdBytes, key.begin() + 2))
        return false;
    const unsigned char* keyBytes = key.data() + 2 + kKeyIdBytes;
    if (crypto_sign_verify_detached(parsed.bytes(), message, length, keyBytes) != 0)
        return false;
    // The trusted comment is signed together with the file's signature.
    std::vector<unsigned char> signedComment(parsed.bytes(), parsed.bytes() + crypto_sign_BYTES);
    signedComment.insert(signedComment.end(), parsed.comment.begin(), parsed.comment.end());
    return crypto_sign_verify_detached(parsed.global.data(), signedComment.data(), signedComment.size(),
                                       keyBytes) == 0;
}

} // namespace

bool VerifyMinisignSignature(std::span<const std::uint8_t> data, std::string_view signatureFile,
                             std::string_view publicKey) {
    if (sodium_init() < 0)
        return false;
    std::vector<unsigned char> key;
    ParsedSignature parsed;
    if (!ParseKey(publicKey, key) || !ParseSignature(signatureFile, parsed))
        return false;
    if (parsed.hashed()) {
        std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
        crypto_generichash(hash.data(), hash.size(), data.data(), data.size(), nullptr, 0);
        return Holds(parsed, key, hash.data(), hash.size());
    }
    return Holds(parsed, key, data.data(), data.size());
}

struct MinisignStreamVerifier::State {
    bool ready = false;
    crypto_generichash_state hash{};
};

MinisignStreamVerifier::MinisignStreamVerifier() : state_(std::make_unique<State>()) {
    state_->ready = sodium_init() >= 0 &&
                    crypto_generichash_init(&state_->hash, nullptr, 0, crypto_generichash_BYTES_MAX) == 0;
}

MinisignStreamVerifier::~MinisignStreamVerifier() = default;

void MinisignStreamVerifier::Update(std::span<const std::uint8_t> bytes) {
    if (state_->ready)
        crypto_generichash_update(&state_->hash, bytes.data(), bytes.size());
}

std::optional<std::string> MinisignStreamVerifier::Finish(std::string_view signatureFile,
                                                          std::span<const std::string_view> publicKeys) {
    if (!state_->ready)
        return std::nullopt;
    state_->ready = false;
    std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
    crypto_generichash_final(&state_->hash, hash.data(), hash.size());
    ParsedSignature parsed;
    if (!ParseSignature(signatureFile, parsed) || !parsed.hashed())
        return std::nullopt;
    for (std::string_view publicKey : publicKeys) {
        std::vector<unsigned char> key;
        if (ParseKey(publicKey, key) && Holds(parsed, key, hash.data(), hash.size()))
            return std::string(parsed.comment);
    }
    return std::nullopt;
}

} // namespace platform
