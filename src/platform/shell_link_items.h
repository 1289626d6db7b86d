#pragma once

// The file-system path of a shortcut's item list. Internal to the shortcut reader.

#include "platform/shell_link.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qb::shell_link {

// Text read from a link, and whether it is exactly what the writer meant: ANSI bytes beyond ASCII are
// in the code page of the machine that wrote them and only guessed at here.
struct Text {
    std::string value;
    bool exact = true;
};

// Where a known-folder or special-folder data block says the list's folder part ends: the byte offset
// (into the items) of the first item below that folder.
struct FolderAnchor {
    std::string folderId;
    std::size_t offset = 0;
};

// The path of an item list (IDList, the items after IDListSize) rooted at the Desktop (its first item a
// file-system item), My Computer and a drive, the user's files, a known folder's GUID or a drive item;
// nullopt for any other list (network places, control panel items) and for damaged items.
std::optional<Text> ItemListPath(std::string_view list, const ShellLinkContext& context);

// The same list re-rooted at the folder's current place: the folder's path and the names of the items
// from the anchor on. nullopt when no item starts at the anchor or the folder is unknown.
std::optional<Text> AnchoredItemListPath(std::string_view list, const FolderAnchor& anchor,
                                         const ShellLinkContext& context);

// ANSI text in the system's code page (Windows-1252 when the context does not say), exact when it is
// plain ASCII.
Text FromAnsi(std::string_view bytes, const ShellLinkContext& context);

} // namespace qb::shell_link
