#include "inventory/startup_switch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace qb {

namespace {
constexpr std::size_t kSwitchSize = 12;
} // namespace

std::string SwitchKeyPath(const StartupLocation& location) {
    if (location.approvedKey.empty()) {
        return {};
    }
    return std::string(kStartupApprovedKey) + std::string(location.approvedKey);
}

std::optional<std::uint64_t> SwitchedOffAt(const std::optional<RegistryValue>& value) {
    if (!value || value->type != ValueType::Binary || value->data.size() != kSwitchSize ||
        (static_cast<unsigned char>(value->data[0]) & 1u) == 0) {
        return std::nullopt;
    }
    std::uint64_t time = 0;
    for (std::size_t i = kSwitchSize; i-- > 4;) {
        time = (time << 8) | static_cast<unsigned char>(value->data[i]);
    }
    return time;
}

RegistryValue SwitchedOn(const RegistryValue& value) {
    std::string bytes = value.data;
    bytes.resize(kSwitchSize, '\0');
    bytes[0] = static_cast<char>(static_cast<unsigned char>(bytes[0]) & ~1u);
    std::fill(bytes.begin() + 4, bytes.end(), '\0');
    return RegistryValue::Binary(bytes);
}

std::string FileTimeText(std::uint64_t fileTime) {
    using namespace std::chrono;
    constexpr std::uint64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    constexpr std::uint64_t kLastSecondOf9999 = 253'402'300'799 + kSecondsFrom1601To1970;
    const std::uint64_t seconds1601 = fileTime / kTicksPerSecond;
    if (fileTime == 0 || seconds1601 > kLastSecondOf9999) {
        return {};
    }
    const sys_seconds when{seconds(static_cast<std::int64_t>(seconds1601) - kSecondsFrom1601To1970)};
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{when - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d UTC", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()));
    return text;
}

} // namespace qb
