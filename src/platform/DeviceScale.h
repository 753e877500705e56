#pragma once
// The device scale of the user interface: how many device (screen) pixels one logical pixel of the
// design covers along each axis. Everything above the platform layer computes in logical pixels; the
// window and the surfaces multiply. Scales come in steps of a quarter, so the mapping is exact integer
// arithmetic and every edge maps to the same device pixel wherever it is met.

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class DeviceScale {
public:
    static constexpr std::int32_t kSteps = 4;        // steps per whole scale: a step is 0.25
    static constexpr std::int32_t kMinQuarters = 4;  // 1x: the design never shrinks
    static constexpr std::int32_t kMaxQuarters = 16; // 4x

    constexpr DeviceScale() = default;
    // `quarters` is held to [kMinQuarters, kMaxQuarters].
    static constexpr DeviceScale FromQuarters(std::int32_t quarters) {
        DeviceScale s;
        s.quarters_ = quarters < kMinQuarters   ? kMinQuarters
                      : quarters > kMaxQuarters ? kMaxQuarters
                                                : quarters;
        return s;
    }
    // The nearest step to `factor` (halves up), held to the range; nothing for a factor that is no number.
    static std::optional<DeviceScale> FromFactor(double factor);

    constexpr std::int32_t quarters() const { return quarters_; }
    constexpr double factor() const { return static_cast<double>(quarters_) / kSteps; }
    constexpr bool identity() const { return quarters_ == kSteps; }
    constexpr bool integral() const { return quarters_ % kSteps == 0; }

    // The device coordinate of a logical edge, rounded half up (held to 32 bits); monotonic, and exact at
    // 1x.
    constexpr std::int32_t ToDevice(std::int32_t logical) const {
        return Clamp(FloorDiv(static_cast<std::int64_t>(logical) * quarters_ * 2 + kSteps, 2 * kSteps));
    }
    // The logical pixel that holds device pixel `device` (a point: rounds down).
    constexpr std::int32_t ToLogical(std::int32_t device) const {
        return Clamp(FloorDiv(static_cast<std::int64_t>(device) * kSteps, quarters_));
    }
    // The logical edge nearest to device edge `device` (a size or a window's place): an edge made with
    // ToDevice comes back as it was, so sizes and places do not creep through the device and back.
    constexpr std::int32_t ToLogicalEdge(std::int32_t device) const {
        return Clamp(FloorDiv(static_cast<std::int64_t>(device) * kSteps * 2 + quarters_, 2 * quarters_));
    }

    friend constexpr bool operator==(DeviceScale a, DeviceScale b) { return a.quarters_ == b.quarters_; }
    friend constexpr bool operator!=(DeviceScale a, DeviceScale b) { return a.quarters_ != b.quarters_; }

private:
    static constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
        return a >= 0 ? a / b : -((-a + b - 1) / b);
    }
    static constexpr std::int32_t Clamp(std::int64_t v) {
        return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(v);
    }
    std::int32_t quarters_ = kSteps;
};

// What the desktop says about its scale, each part absent when the desktop does not say it.
struct DesktopScaleSources {
    std::optional<std::string> vantriScale;  // VANTRI_SCALE: the user's own choice, first
    std::optional<double> outputScale;       // the Wayland output's scale, as SDL reports it
    std::optional<std::string> gdkScale;     // GDK_SCALE
    std::optional<std::string> resourceText; // the X resource database (RESOURCE_MANAGER), for Xft.dpi
};

// The first source that names a usable scale, in the order of the record; 1x when none does.
DeviceScale ChooseDeviceScale(const DesktopScaleSources& sources);

// A scale written as a decimal number ("2", "1.5", "1,25" is not one); nothing when the text is not a
// positive number.
std::optional<DeviceScale> ParseDeviceScale(std::string_view text);

// Xft.dpi from the text of an X resource database ("Xft.dpi:\t144" on a line of its own), divided by 96;
// nothing when the text has no positive Xft.dpi.
std::optional<DeviceScale> ScaleFromResources(std::string_view resources);

// The scale the desktop asks for now: VANTRI_SCALE, the given output scale, GDK_SCALE, then Xft.dpi of
// the display named by DISPLAY. Read once by the desktop window system when it opens (Linux only).
DeviceScale DesktopDeviceScale(std::optional<double> outputScale);

} // namespace platform
