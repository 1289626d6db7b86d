#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

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

// What decoding needs of the system the link is read on. Every member may be left empty.
struct ShellLinkContext {
    // The Windows folder that holds the link: a target known only by its relative path is resolved
    // against it. Empty leaves such a target as written.
    std::string linkFolder;
    // ANSI bytes in the system's ANSI code page as UTF-8. Empty reads them as Windows-1252.
    std::function<std::string(std::string_view)> ansiToUtf8;
    // The current path of a known folder named by its GUID in registry form ("{B4BFCC3A-DB2C-...}"),
    // without a trailing backslash; nullopt when the system has no such folder.
    std::function<std::optional<std::string>(std::string_view)> knownFolderPath;
};

// A decoded link, or why the bytes are none: a few lower-case words that follow "This shortcut cannot
// be read: " ("the file is cut short").
struct ShellLinkRead {
    std::optional<ShellLinkData> link;
    std::string problem;

    explicit operator bool() const { return link.has_value(); }
    bool has_value() const { return link.has_value(); }
    const ShellLinkData& operator*() const { return *link; }
    const ShellLinkData* operator->() const { return &*link; }
};

// Reads a shortcut as the Windows shell does; safe on any bytes. The shell refuses a file whose header
// size or class id is wrong, or whose structures run past its end.
//
// NAME, RELATIVE_PATH, WORKING_DIR and ICON_LOCATION are read to at most 260 characters whatever count
// they declare, and the next field starts right after what was read; COMMAND_LINE_ARGUMENTS is read
// whole. A longer count therefore cannot hide the arguments that Windows runs.
//
// The target, in this order: the environment-variable block when the link says it uses one
// (HasExpString; its %NAME% references are left for the caller to expand); the item list re-rooted at
// the current place of the known or special folder a data block names; the LinkInfo path when it is
// exact (UTF-16, or ANSI that is plain ASCII); the item list; a LinkInfo path in ANSI that holds other
// bytes (written in the code page of the machine that made the link, so only a guess here); last the
// relative path, resolved against the link's folder.
ShellLinkRead DecodeShellLink(std::string_view bytes, const ShellLinkContext& context = {});

// A shortcut that the Windows shell loads, laid out as the shell saves one: any target goes to LinkInfo
// (with a UTF-16 copy when it is not plain ASCII), a target of the form "X:\..." also gets an item list,
// and one holding "%" also the environment-variable block that Windows expands. An empty target writes
// none of them. The arguments are cut to 65535 UTF-16 units, the other strings to the 260 characters
// Windows reads back.
std::string EncodeShellLink(const ShellLinkData& link);

} // namespace qb
