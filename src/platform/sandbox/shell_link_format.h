#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qb::sandbox {

// What a shortcut (.lnk) file holds for the tool, all text in UTF-8.
struct ShellLinkData {
    std::string targetPath;
    std::string relativePath;
    std::string workingDirectory;
    std::string arguments;
    std::string description;
    std::string iconLocation;
    int iconIndex = 0;
    int showCommand = 1; // 1 normal, 3 maximised, 7 minimised; anything else reads back as 1
    std::uint16_t hotKey = 0;
    friend bool operator==(const ShellLinkData&, const ShellLinkData&) = default;
};

// Reads a shortcut as the Windows shell does, or nullopt when the shell would refuse to load it (wrong
// header size or class id, a structure cut short or a size pointing past the end). Safe on any bytes.
//
// The target comes from the first source that holds it without loss: the LinkInfo path (its UTF-16 form
// when present), the environment-variable block, the item list (My Computer, a drive, file-system
// items), then RELATIVE_PATH. ANSI text is taken as UTF-8, the tool's code page; bytes that are not
// UTF-8 come from a machine with a legacy code page and are read as Windows-1252 only when no Unicode
// source of the same text exists. So a link that names no other target reports RELATIVE_PATH as its
// target.
std::optional<ShellLinkData> DecodeShellLink(std::string_view bytes);

// A shortcut that the Windows shell loads, laid out as the shell saves one: any target goes to LinkInfo
// (with a UTF-16 copy when it is not plain ASCII), a target of the form "X:\..." also gets an item list,
// and one holding "%" also the environment-variable block that Windows expands. An empty target writes
// none of them. Strings longer than 65535 UTF-16 units are cut.
std::string EncodeShellLink(const ShellLinkData& link);

} // namespace qb::sandbox
