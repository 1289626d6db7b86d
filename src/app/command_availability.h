#pragma once

#include "app/list_rows.h"

#include <optional>

namespace qb {

// Which row commands can be used. Start and Stop are left as they are (nullopt) on old NT with a row
// selected, where the tool cannot tell whether a program runs. Start, Open and Properties need the
// program file: a row whose path is invalid has none to start, open the folder of or show.
struct CommandAvailability {
    bool edit = false;         // ButtonEdit, MenuEdit
    bool browse = false;       // ButtonBrowse, MenuFind
    bool properties = false;   // ButtonProperties, MenuProperties
    bool remove = false;       // ButtonDelete, MenuDelete
    bool undo = false;         // MenuUndo: the row is deleted, not applied yet
    bool search = false;       // MenuSearch
    std::optional<bool> start; // SnButtonRun, MenuRun
    std::optional<bool> stop;  // SnButtonClose, MenuClose
};

CommandAvailability AvailableCommands(const ListRow* selected, bool legacyNT);

} // namespace qb
