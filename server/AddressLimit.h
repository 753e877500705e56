#pragma once
// Counts the connections each client holds, to refuse one past a limit. A client is an IPv4 address,
// or an IPv6 /64 network: one host is handed a whole /64 and can pick any address in it, so counting
// IPv6 addresses one by one would limit nothing. IPv4 addresses written as IPv6 (::ffff:a.b.c.d) count
// as the IPv4 address. Safe to use from any thread.

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

struct sockaddr;

namespace station {

class AddressLimit {
public:
    // Which client an address belongs to: a family byte and the address bytes that count.
    using Key = std::array<std::uint8_t, 9>;
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };

    explicit AddressLimit(unsigned limit) : limit_(limit) {}

    // The client of `address`; nothing for an address of another family (not counted).
    static std::optional<Key> KeyOf(const sockaddr* address);

    // Whether the client of `address` may open one more connection now (limit 0: always).
    bool Allows(const sockaddr* address) const;
    // Counts a connection that began; false when it takes its client past the limit (it is still
    // counted, and must be ended and then removed like any other).
    bool Add(const Key& key);
    void Remove(const Key& key);
    unsigned Count(const Key& key) const;

private:
    const unsigned limit_;
    mutable std::mutex lock_;
    std::unordered_map<Key, unsigned, KeyHash> counts_;
};

} // namespace station
