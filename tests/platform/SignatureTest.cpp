// Minisign signature checks against signatures made once by the minisign tool (keys and signatures are
// fixed texts here, so the check runs the same on every platform without the tool): both signature
// kinds hold, and any change to the file, the key, the key id, the trusted comment or the format fails.
// The streamed check gives the trusted comment, whatever the pieces, and takes either of two keys.

#include "platform/Signature.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// `minisign -G -W`, twice.
constexpr std::string_view kMakersKeyFile = "untrusted comment: minisign public key 650DFBC2816551BC\n"
                                            "RWS8UWWBwvsNZfxT/EjI98Or9qpLIB1Ecpg+uvmq/T/5/XffLFegZSLt\n";
constexpr std::string_view kMakersKey = "RWS8UWWBwvsNZfxT/EjI98Or9qpLIB1Ecpg+uvmq/T/5/XffLFegZSLt";
constexpr std::string_view kStrangersKey = "RWQ2VzuZy0JBNWN+XUwjlC+4Qgl7aED3TrjfXAc52uYUK5KNdATGxr2f";

// The signed file: text and bytes no text has.
const std::string kData("Vantri 0.20 installer\nMZ\0\1\2\xff payload\n", 37);

// `minisign -S -t "Vantri 0.20 installer"`: over the file's BLAKE2b-512 hash ("ED", the tool's default).
constexpr std::string_view kHashedSignature =
    "untrusted comment: signature from minisign secret key\n"
    "RUS8UWWBwvsNZSkcpRzioXPCAvuygJMks7+Bnqh7Q+JIglmvOHm8+GwBCUFtcIkSaHaC6JC4eeii0RJndUP6UKctDaYQjeI2pQ4=\n"
    "trusted comment: Vantri 0.20 installer\n"
    "kPIGOIg7Ug/tR16yYUn8eutq+1/cSmrD074qeEb5hVh3E+z2NB1aFgoqUzrs4zynPxZk0+2uHGjHAI6XWA4zDQ==\n";
// `minisign -S -l`: over the file itself ("Ed").
constexpr std::string_view kLegacySignature =
    "untrusted comment: signature from minisign secret key\n"
    "RWS8UWWBwvsNZQBksgBRe4h87hT81tmHIq6TiP9Y5asEJBDXdP2FCX6BLGYMRD3gBzC24JHv1pD+UHf+RUY8qpnaH+XA7AQDZQQ=\n"
    "trusted comment: Vantri 0.20 installer\n"
    "BS1hr4uz7RcTvHeHXoO5+h+CA0BlJOGcZGFJWb+dvvbnjXN0b8PU0Q7BHgA9tAOK2ZEHe14T87jKhWSNjFmrAA==\n";
// The same file signed with the stranger's key.
constexpr std::string_view kStrangersSignature =
    "untrusted comment: signature from minisign secret key\n"
    "RUQ2VzuZy0JBNSQAr1hRwalnKzJNe6UODnt2skiOyZDQB+fwgGDYC1l4ThqbuHcv9RzO8taM+8GmCtYBRm61BCaYaVJgffwpLwM=\n"
    "trusted comment: Vantri 0.20 installer\n"
    "KQwg7ALb9DaavNzKAMwdfE6dkRG5a/pNbxSdHmZybAfAe7n0B9cwvZFBDsFbvu+KeMGWad4plHJpAzgiHOsNBg==\n";
// The stranger's signature with the makers' key id written over the stranger's.
constexpr std::string_view kForgedKeyIdLine =
    "RUS8UWWBwvsNZSQAr1hRwalnKzJNe6UODnt2skiOyZDQB+fwgGDYC1l4ThqbuHcv9RzO8taM+8GmCtYBRm61BCaYaVJgffwpLwM=";
// The hashed signature relabelled as one over the file itself.
constexpr std::string_view kRelabelledLine =
    "RWS8UWWBwvsNZSkcpRzioXPCAvuygJMks7+Bnqh7Q+JIglmvOHm8+GwBCUFtcIkSaHaC6JC4eeii0RJndUP6UKctDaYQjeI2pQ4=";
// An empty file, trusted comment "empty".
constexpr std::string_view kEmptyFileSignature =
    "untrusted comment: signature from minisign secret key\n"
    "RUS8UWWBwvsNZRPWEsQGIyKfG3wxbes/1ekROYk3z59+8QaOc2CKcaGAkg6oCAYHMkxClbLInOPu1wXVt5uquAqO4JGSLCW9Ogc=\n"
    "trusted comment: empty\n"
    "1+3M0tqKxFa3JchLauyJGk7MsETFyWkrUdjK9/mCCA1PVB4dk/dbtWHQI/dIUqFQBd2KUYBswfDeshfUePjvAQ==\n";

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

bool Verify(std::string_view data, std::string_view signature, std::string_view key = kMakersKey) {
    return platform::VerifyMinisignSignature(Bytes(data), signature, key);
}

// `signature` with line `index` (0 to 3) replaced.
std::string WithLine(std::string_view signature, std::size_t index, std::string_view line) {
    std::string text(signature);
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i)
        start = text.find('\n', start) + 1;
    text.replace(start, text.find('\n', start) - start, line);
    return text;
}

TEST(MinisignSignature, BothKindsHoldWithTheKeyLineOrTheWholeKeyFile) {
    EXPECT_TRUE(Verify(kData, kHashedSignature));
    EXPECT_TRUE(Verify(kData, kLegacySignature));
    EXPECT_TRUE(Verify(kData, kHashedSignature, kMakersKeyFile));
    EXPECT_TRUE(Verify(kData, kLegacySignature, kMakersKeyFile));
    EXPECT_TRUE(Verify("", kEmptyFileSignature));
    // Files written on Windows end their lines with "\r\n"; a signature file may lack the last end.
    std::string crlf;
    for (char c : kHashedSignature)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(Verify(kData, crlf));
    EXPECT_TRUE(Verify(kData, kHashedSignature.substr(0, kHashedSignature.size() - 1)));
}

TEST(MinisignSignature, AnyChangeToTheFileFails) {
    for (std::size_t at : {std::size_t(0), std::size_t(22), kData.size() - 1}) {
        std::string changed = kData;
        changed[at] ^= 1;
        EXPECT_FALSE(Verify(changed, kHashedSignature)) << at;
        EXPECT_FALSE(Verify(changed, kLegacySignature)) << at;
    }
    EXPECT_FALSE(Verify(kData.substr(0, kData.size() - 1), kHashedSignature));
    EXPECT_FALSE(Verify(kData + "x", kLegacySignature));
    EXPECT_FALSE(Verify("", kHashedSignature));
    EXPECT_FALSE(Verify(kData, kEmptyFileSignature));
}

TEST(MinisignSignature, OnlyTheMakersKeyIsTrusted) {
    EXPECT_FALSE(Verify(kData, kStrangersSignature));
    EXPECT_TRUE(Verify(kData, kStrangersSignature, kStrangersKey));
    EXPECT_FALSE(Verify(kData, kHashedSignature, kStrangersKey));
    // A matching key id is not enough: the signature itself must hold for the key.
    EXPECT_FALSE(Verify(kData, WithLine(kStrangersSignature, 1, kForgedKeyIdLine)));
    // Neither is a signature made over the hash taken as one over the file.
    EXPECT_FALSE(Verify(kData, WithLine(kHashedSignature, 1, kRelabelledLine)));
}

TEST(MinisignSignature, TheTrustedCommentIsSignedToo) {
    EXPECT_FALSE(Verify(kData, WithLine(kHashedSignature, 2, "trusted comment: Vantri 9.99 installer")));
    EXPECT_FALSE(Verify(kData, WithLine(kLegacySignature, 2, "trusted comment: Vantri 0.20 installer ")));
    // The comment's signature of another signature of the same file.
    EXPECT_FALSE(Verify(
        kData,
        WithLine(
            kHashedSignature, 3,
            "BS1hr4uz7RcTvHeHXoO5+h+CA0BlJOGcZGFJWb+dvvbnjXN0b8PU0Q7BHgA9tAOK2ZEHe14T87jKhWSNjFmrAA==")));
    // The untrusted comment is not signed and may say anything.
    EXPECT_TRUE(Verify(kData, WithLine(kHashedSignature, 0, "untrusted comment: anything at all")));
}

TEST(MinisignSignature, MalformedTextsFailWithoutHarm) {
    const std::string hashed(kHashedSignature);
    for (const std::string& signature : {
             std::string(),
             std::string("untrusted comment: x\nRUQ\n"),
             hashed.substr(0, hashed.rfind("trusted comment")),
             WithLine(hashed, 0, "comment: signature"),
             WithLine(hashed, 2, "Vantri 0.20 installer"),
             WithLine(
                 hashed, 1,
                 "RUS8UWWBwvsNZSkcpRzioXPCAvuygJMks7+Bnqh7Q+JIglmvOHm8+GwBCUFtcIkSaHaC6JC4eeii0RJndUP6UKct"),
             WithLine(hashed, 1, std::string(kRelabelledLine) + "AAAA"),
             WithLine(hashed, 1, "!!!" + std::string(kRelabelledLine.substr(3))),
             WithLine(hashed, 3, "kPIGOIg7Ug/tR16yYUn8eutq"),
             hashed + "one line too many\n",
         })
        EXPECT_FALSE(Verify(kData, signature)) << signature;
    for (std::string_view key :
         {std::string_view(), std::string_view("RWS8UWWBwvsNZfxT"),
          std::string_view("untrusted comment: minisign public key 650DFBC2816551BC\n"),
          // A signature line where the key belongs.
          kRelabelledLine})
        EXPECT_FALSE(Verify(kData, kHashedSignature, key)) << key;
}

// The streamed check of `data` handed over in pieces of `piece` bytes.
std::optional<std::string> Streamed(std::string_view data, std::string_view signature,
                                    std::vector<std::string_view> keys = {kMakersKey},
                                    std::size_t piece = 5) {
    platform::MinisignStreamVerifier verifier;
    for (std::size_t at = 0; at < data.size(); at += piece) {
        const std::vector<std::uint8_t> bytes = Bytes(data.substr(at, piece));
        verifier.Update(bytes);
    }
    return verifier.Finish(signature, keys);
}

TEST(MinisignStreamVerifier, GivesTheTrustedCommentWhateverThePieces) {
    for (std::size_t piece : {std::size_t(1), std::size_t(5), std::size_t(36), std::size_t(4096)})
        EXPECT_EQ(Streamed(kData, kHashedSignature, {kMakersKey}, piece), "Vantri 0.20 installer") << piece;
    EXPECT_EQ(Streamed("", kEmptyFileSignature), "empty");
    EXPECT_EQ(Streamed(kData, kHashedSignature, {kMakersKeyFile}), "Vantri 0.20 installer");
}

TEST(MinisignStreamVerifier, EitherOfTwoKeysAndNothingElse) {
    // The makers moving from one key to the next: a signature by either holds.
    EXPECT_EQ(Streamed(kData, kHashedSignature, {kStrangersKey, kMakersKey}), "Vantri 0.20 installer");
    EXPECT_EQ(Streamed(kData, kStrangersSignature, {kMakersKey, kStrangersKey}), "Vantri 0.20 installer");
    EXPECT_FALSE(Streamed(kData, kStrangersSignature, {kMakersKey}));
    EXPECT_FALSE(Streamed(kData, kHashedSignature, {}));
    EXPECT_FALSE(Streamed(kData, WithLine(kStrangersSignature, 1, kForgedKeyIdLine), {kMakersKey}));
    std::string changed = kData;
    changed[10] ^= 1;
    EXPECT_FALSE(Streamed(changed, kHashedSignature));
    EXPECT_FALSE(Streamed(kData + "x", kHashedSignature));
    EXPECT_FALSE(Streamed(kData, WithLine(kHashedSignature, 2, "trusted comment: Vantri 9.99 installer")));
    // The legacy form needs the whole file at once: refused, though it holds.
    EXPECT_TRUE(Verify(kData, kLegacySignature));
    EXPECT_FALSE(Streamed(kData, kLegacySignature));
    EXPECT_FALSE(Streamed(kData, "untrusted comment: x\nRUQ\n"));
}

} // namespace
