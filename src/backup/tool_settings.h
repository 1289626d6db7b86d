#pragma once

#include <string_view>

namespace qb {

// The tool's own key under HKEY_CURRENT_USER: the automatic backup's choice and counter, and the index of
// backup files below it.
#define QB_TOOL_KEY "SOFTWARE\\Quillbrook"
inline constexpr std::string_view kToolKey = QB_TOOL_KEY;
inline constexpr std::string_view kBackupIndexKey = QB_TOOL_KEY "\\BackupIndex";
#undef QB_TOOL_KEY

} // namespace qb
