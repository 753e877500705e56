#include "platform/DeviceScale.h"

#include <charconv>
#include <cmath>

namespace platform {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<DeviceScale> DeviceScale::FromFactor(double factor) {
    if (!std::isfinite(factor) || factor <= 0)
        return std::nullopt;
    const double steps = std::floor(factor * kSteps + 0.5);
    if (steps > kMaxQuarters)
        return FromQuarters(kMaxQuarters);
    return FromQuarters(static_cast<std::int32_t>(steps));
}

std::optional<DeviceScale> ParseDeviceScale(std::string_view text) {
    const std::optional<double> value = ParseNumber(text);
    if (!value)
        return std::nullopt;
    return DeviceScale::FromFactor(*value);
}

std::optional<DeviceScale> ScaleFromResources(std::string_view resources) {
    constexpr std::string_view kName = "Xft.dpi:";
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        const std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        const std::string_view trimmed = Trim(line);
        if (trimmed.substr(0, kName.size()) != kName)
            continue;
        if (const std::optional<double> dpi = ParseNumber(trimmed.substr(kName.size())))
            return DeviceScale::FromFactor(*dpi / 96.0);
        return std::nullopt;
    }
    return std::nullopt;
}

DeviceScale ChooseDeviceScale(const DesktopScaleSources& sources) {
    if (sources.vantriScale) {
        if (const auto chosen = ParseDeviceScale(*sources.vantriScale))
            return *chosen;
    }
    if (sources.outputScale) {
        if (const auto chosen = DeviceScale::FromFactor(*sources.outputScale))
            return *chosen;
    }
    if (sources.gdkScale) {
        if (const auto chosen = ParseDeviceScale(*sources.gdkScale))
            return *chosen;
    }
    if (sources.resourceText) {
        if (const auto chosen = ScaleFromResources(*sources.resourceText))
            return *chosen;
    }
    return DeviceScale{};
}

} // namespace platform
