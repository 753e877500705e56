#pragma once
// A small reader of "--name value" and "--flag" arguments.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace station {

class CommandLine {
public:
    // `flags` take no value; every other "--name" takes the next argument.
    CommandLine(const std::vector<std::string>& arguments, const std::vector<std::string>& flags);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::vector<std::string>& positional() const { return positional_; }
    bool Flag(const std::string& name);
    std::optional<std::string> Value(const std::string& name);
    // After every Flag and Value call: an error text naming an option nobody asked for, or empty.
    std::string Unused() const;

private:
    struct Option {
        std::string name;
        std::optional<std::string> value;
        bool used = false;
    };
    std::vector<Option> options_;
    std::vector<std::string> positional_;
    std::string error_;
};

// Reads --name as a number from `min` to `max` into `value`; false when it is given but out of range, and
// then `error` (if still empty) names the option and its range. Absent, `value` is left as it was.
bool NumberOption(CommandLine& line, const char* name, std::uint64_t min, std::uint64_t max,
                  std::uint64_t& value, std::string& error);

} // namespace station
