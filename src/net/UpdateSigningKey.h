#pragma once
// The public half of the key the makers sign every update installer with (minisign's public key form).
// An installer whose signature does not verify against it is never started.

constexpr const char* kUpdateSigningPublicKey = "RWS5ns2hCW71siCaBPIXZq4XJO+YEpIQhpjtSgqQqLETWTdvsT/Yf7Og";
