#pragma once

#include <string>
#include <string_view>

namespace qb {

// Windows-1252 as MultiByteToWideChar maps it, the code page of a Western Windows and of Wine's default
// setup: the ANSI code page assumed where the system's is not known. Its five unassigned bytes map to
// the C1 controls.
std::string Windows1252ToUtf8(std::string_view bytes);
// The other direction, with "?" for what the code page cannot hold, as WideCharToMultiByte substitutes.
std::string Utf8ToWindows1252(std::string_view text);

} // namespace qb
