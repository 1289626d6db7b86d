#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qb {

// An entry of a startup folder is a file named after the entry. A name that holds a path separator, "..",
// a character Windows forbids in file names, ends in a dot or a blank, or is a reserved device name
// (CON, NUL, COM1, ...) would put the file somewhere else or nowhere. nullopt when the name is fine,
// else why it is not, in words for the user.
std::optional<std::string> ShortcutNameProblem(std::string_view name);

// Whether the last part of a path is a device Windows reserves ("C:\\NUL", "C:\\CON.qbk", "com1.txt"):
// Windows writes such a "file" to the device, or to nowhere, and reads nothing back.
bool NamesReservedDevice(std::string_view path);

} // namespace qb
