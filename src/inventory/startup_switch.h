#pragma once

#include "inventory/startup_location.h"
#include "platform/registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// Windows 8 and later switch a startup entry off without moving it: Task Manager and Settings write a
// 12-byte REG_BINARY value, named as the entry is on the system (a shortcut's file name with its ".lnk"),
// under HKxx\...\Explorer\StartupApproved\{Run, Run32, StartupFolder}, always in the native view. Bytes
// 0-3 are flags (bit 0 set: off), bytes 4-11 a FILETIME of when it was switched off (zero when on or
// unknown). A missing value, or one that is not 12 binary bytes, means on.

inline constexpr std::string_view kStartupApprovedKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

// The key that holds the switches of the place's entries; "" for places without switches.
std::string SwitchKeyPath(const StartupLocation& location);

// When the switch is off: the time it was switched off as a FILETIME (0 when the value holds none);
// nullopt when it is on.
std::optional<std::uint64_t> SwitchedOffAt(const std::optional<RegistryValue>& value);

// The switch turned on as Windows turns it on: bit 0 cleared, the other flag bytes kept, the time zeroed.
// Only for a value SwitchedOffAt calls off.
RegistryValue SwitchedOn(const RegistryValue& value);

// A FILETIME as "YYYY-MM-DD HH:MM UTC"; "" for 0 or a time past the year 9999.
std::string FileTimeText(std::uint64_t fileTime);

} // namespace qb
