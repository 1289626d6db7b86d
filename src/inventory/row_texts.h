#pragma once

#include "inventory/startup_item.h"

#include <string>
#include <string_view>

namespace qb {

// The unnamed default value of a key has no name; the list and every message call it so.
inline constexpr std::string_view kUnnamedValueCaption = "(Default)";
// An entry's name as the list shows it.
inline std::string ShownName(std::string_view name) {
    return name.empty() ? std::string(kUnnamedValueCaption) : std::string(name);
}

// A KB count as the list shows it: "512 KB" below 1024, else megabytes with at most one decimal, a value
// exactly halfway between two tenths rounding down ("1 MB", "1.5 MB", "2.3 MB").
std::string FormatMemory(std::int32_t kilobytes);

// The Memory cell: empty when no program runs, "Running" when its size is unknown, else its size.
std::string MemoryCellText(const StartupItem& item);

// An entry's command as the list, its page and the editor show it: what Windows runs, whole. A shortcut's
// target comes with the arguments it keeps apart, quoted where it holds a blank.
std::string ShownCommand(const StartupItem& item);

// The Command Path cell: the shown command, behind "[Invalid Path]" when its target was not found.
std::string CommandCellText(const StartupItem& item);

// A Command Path cell's command: the cell without a leading "[Invalid Path]".
std::string_view RowCommand(std::string_view commandCell);

// "Enabled", or "Disabled" for every other state: what a backup, the command line and the lists say.
inline std::string_view StateText(ItemState state) {
    return state == ItemState::Enabled ? "Enabled" : "Disabled";
}

// "new", "returned", "changed", "removed", or "" for no mark.
std::string_view ChangeMarkName(ChangeMark mark);
// Why an entry is marked, in a sentence for its tooltip and information page; "" for no mark.
std::string_view ChangeMarkReason(ChangeMark mark);

} // namespace qb
