#pragma once
// Environment changes that last as long as the object: a variable set or removed, or the time zone, put
// back as it was when the object goes. Tests set what they depend on rather than trusting the caller's
// environment.

#include "platform/Environment.h"

#include <optional>
#include <string>

namespace testsupport {

class ScopedEnvironment {
public:
    // Sets `name` to `value`, or removes it when `value` is nothing.
    ScopedEnvironment(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)), previous_(platform::GetEnv(name_)) {
        Apply(value);
    }
    ~ScopedEnvironment() { Apply(previous_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Apply(const std::optional<std::string>& value) {
        if (value)
            platform::SetEnv(name_, *value);
        else
            platform::UnsetEnv(name_);
        if (name_ == "TZ")
            platform::ReloadTimeZone();
    }

    std::string name_;
    std::optional<std::string> previous_;
};

// The local time zone, as a TZ value ("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "America/New_York").
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& tz) : tz_("TZ", tz) {}

private:
    ScopedEnvironment tz_;
};

} // namespace testsupport
