#include "CommandLine.h"

#include "Text.h"

#include <algorithm>

namespace station {

CommandLine::CommandLine(const std::vector<std::string>& arguments, const std::vector<std::string>& flags) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 3 || argument.compare(0, 2, "--") != 0) {
            positional_.push_back(argument);
            continue;
        }
        Option option;
        option.name = argument.substr(2);
        if (std::find(flags.begin(), flags.end(), option.name) == flags.end()) {
            if (i + 1 >= arguments.size() || arguments[i + 1].starts_with("--")) {
                // Without a value it may as well be a name nobody knows; say both.
                error_ = "option --" + option.name + " needs a value (or is an unknown option)";
                return;
            }
            option.value = arguments[++i];
        }
        for (const Option& earlier : options_)
            if (earlier.name == option.name) {
                error_ = "option --" + option.name + " given twice";
                return;
            }
        options_.push_back(std::move(option));
    }
}

bool CommandLine::Flag(const std::string& name) {
    for (Option& option : options_)
        if (option.name == name && !option.value) {
            option.used = true;
            return true;
        }
    return false;
}

std::optional<std::string> CommandLine::Value(const std::string& name) {
    for (Option& option : options_)
        if (option.name == name && option.value) {
            option.used = true;
            return option.value;
        }
    return std::nullopt;
}

std::string CommandLine::Unused() const {
    for (const Option& option : options_)
        if (!option.used)
            return "unknown option --" + option.name;
    return {};
}

bool NumberOption(CommandLine& line, const char* name, std::uint64_t min, std::uint64_t max,
                  std::uint64_t& value, std::string& error) {
    const std::optional<std::string> text = line.Value(name);
    if (!text || (ParseUnsigned(*text, max, value) && value >= min))
        return true;
    if (error.empty())
        error = "--" + std::string(name) + " must be a number from " + std::to_string(min) + " to " +
                std::to_string(max) + ", not '" + *text + "'";
    return false;
}

} // namespace station
