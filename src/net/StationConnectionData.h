#pragma once
// How to reach one server: the station's name as the directory lists it, its id, and the host, port and
// base path of its server.

#include <cstdint>
#include <string>

struct StationConnectionData {
    StationConnectionData() = default;
    // For the directory and update servers: no name, station 0, port 80, base path "/".
    explicit StationConnectionData(std::string host) : host(std::move(host)) {}

    std::u16string name; // empty for the directory and update servers
    std::int32_t stationId = 0;
    std::string host; // given to the resolver and written in the HOST: line
    std::uint16_t port = 80;
    std::string basePath = "/"; // written right after "GET "
};
