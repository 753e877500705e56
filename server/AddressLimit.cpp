#include "AddressLimit.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace station {

std::size_t AddressLimit::KeyHash::operator()(const Key& key) const {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::uint8_t byte : key) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return static_cast<std::size_t>(hash);
}

std::optional<AddressLimit::Key> AddressLimit::KeyOf(const sockaddr* address) {
    if (!address)
        return std::nullopt;
    Key key{};
    if (address->sa_family == AF_INET) {
        sockaddr_in v4;
        std::memcpy(&v4, address, sizeof v4);
        key[0] = 4;
        std::memcpy(&key[1], &v4.sin_addr, 4);
        return key;
    }
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 v6;
        std::memcpy(&v6, address, sizeof v6);
        const std::uint8_t* bytes = v6.sin6_addr.s6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            key[0] = 4;
            std::memcpy(&key[1], bytes + 12, 4);
        } else {
            key[0] = 6;
            std::memcpy(&key[1], bytes, 8); // the /64 network
        }
        return key;
    }
    return std::nullopt;
}

bool AddressLimit::Allows(const sockaddr* address) const {
    if (limit_ == 0)
        return true;
    const auto key = KeyOf(address);
    return !key || Count(*key) < limit_;
}

bool AddressLimit::Add(const Key& key) {
    std::lock_guard guard(lock_);
    const unsigned count = ++counts_[key];
    return limit_ == 0 || count <= limit_;
}

void AddressLimit::Remove(const Key& key) {
    std::lock_guard guard(lock_);
    const auto found = counts_.find(key);
    if (found == counts_.end())
        return;
    if (--found->second == 0)
        counts_.erase(found);
}

unsigned AddressLimit::Count(const Key& key) const {
    std::lock_guard guard(lock_);
    const auto found = counts_.find(key);
    return found == counts_.end() ? 0 : found->second;
}

} // namespace station
