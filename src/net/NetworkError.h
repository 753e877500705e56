#pragma once
// How an exchange ended, and the error box each code shows.

#include <cstdint>

enum NetworkError : std::int32_t {
    NETWORKERROR_NONE = 0,              // normal end, peer closed, or socket failure
    NETWORKERROR_INVALIDHEADERS = 1,    // more than 20 header lines, or header block too long
    NETWORKERROR_INVALIDDATA = 2,       // malformed body or chunk size
    NETWORKERROR_SENDREQUESTFAILED = 3, // request text not sent whole
    NETWORKERROR_PROGRAMMINGERROR = 4,  // event signalled for an exchange without a socket
    NETWORKERROR_WRONGVERSION = 5,      // response format version not supported
    NETWORKERROR_FILEACCESSERROR = 6,   // update file could not be written
};

enum RequestStatus : std::int32_t {
    RequestStatus_Disconnected = 0,
    RequestStatus_Connecting = 1,
    RequestStatus_Connected = 2,
    RequestStatus_ReceivingHeaders = 3,
    RequestStatus_ReceivingData = 4,
};
