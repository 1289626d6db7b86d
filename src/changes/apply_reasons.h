#pragma once

#include <string_view>

namespace qb {

// Why an apply left an entry as it was, as the user reads it after the entry's name and place.
inline constexpr std::string_view kNoSuchPlace = "no such place";
inline constexpr std::string_view kNotFound = "not found where it was loaded from";
inline constexpr std::string_view kNameTaken = "an entry of that name is already there";
inline constexpr std::string_view kNameCannotBeAFile = "the name cannot be a file name in a startup folder";
inline constexpr std::string_view kNoStartupFolder = "the system names no startup folder";
inline constexpr std::string_view kChangedSince = "changed by another program since it was loaded";
inline constexpr std::string_view kNotMadeAgain =
    "it is a file, not a shortcut, and cannot be made again once gone";

} // namespace qb
