#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qb {

// An entry of a startup folder is a file named after the entry. A name that holds a path separator, "..",
// a character Windows forbids in file names, or is a reserved device name (CON, NUL, COM1, ...) would put
// the file somewhere else or nowhere. nullopt when the name is fine, else why it is not, in words for the
// user. Names found on the system or kept in a backup are held to this only: "Foo .lnk" and "Bar..lnk"
// are valid files on Windows, and their entries must stay movable and restorable.
std::optional<std::string> ShortcutFileNameProblem(std::string_view name);

// The same, and the tool's own rule for names it makes up (a name typed into the editor, or one an entry
// gets in a new place): no dot or blank at the end, which Windows would strip from a name of its own.
std::optional<std::string> ShortcutNameProblem(std::string_view name);

// Whether the last part of a path is a device Windows reserves ("C:\\NUL", "C:\\CON.qbk", "com1.txt"):
// Windows writes such a "file" to the device, or to nowhere, and reads nothing back.
bool NamesReservedDevice(std::string_view path);

} // namespace qb
