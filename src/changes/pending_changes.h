#pragma once

#include "inventory/startup_item.h"

#include <string>
#include <string_view>
#include <vector>

namespace qb {

// The kinds of change a record carries, read from its marks; listed in this fixed order.
enum class ChangeKind { Enable, Disable, Add, Delete, Edit };

std::vector<ChangeKind> ChangeKinds(const StartupItem& item);
std::string_view ChangeKindName(ChangeKind kind); // "Enable", "Disable", "Add", "Delete", "Edit"

// A record is pending when its state differs from what was loaded or it was edited. An entry added and
// deleted again is not; added, edited and deleted again it is, though it has no kind.
bool IsPending(const StartupItem& item);
bool HasPendingChanges(const Inventory& inventory);

// A list row as the edit operations match it to records: caption, Location cell, and the row command
// (the Command Path cell without a leading "[Invalid Path]").
struct RowKey {
    std::string_view caption;
    std::string_view location;
    std::string_view rowCommand;
};

// The row's check box: the first record that is not deleted and matches the row gets Enabled when
// checked, Disabled when not. False when no record matched.
bool SetCheckedState(Inventory& inventory, const RowKey& row, bool checked);

// Marks every record that matches the row, whatever its state, Deleted. Gives how many.
int DeleteMatchingEntries(Inventory& inventory, const RowKey& row);

// Takes back the delete of an entry that is on the system: it gets the state it had before. False for an
// entry that is not Deleted, or was never on the system (an added entry deleted again is gone).
bool UndoDelete(StartupItem& item);

// The bulk deletes: every record that meets the condition, already deleted ones included, becomes
// Deleted. Each gives the count; 0 means the user is told the message below.
int DeleteAllInvalid(Inventory& inventory);
int DeleteAllHarmful(Inventory& inventory);
int DeleteAllDisabled(Inventory& inventory);

// How many entries a bulk delete takes off the list: those that meet its condition and are not deleted
// yet. The window asks with this count before it deletes, and tells the message below when it is 0.
int CountAllInvalid(const Inventory& inventory);
int CountAllHarmful(const Inventory& inventory);
int CountAllDisabled(const Inventory& inventory);
// The question before a bulk delete of `count` entries: "Delete 3 entries?", "Delete 1 entry?".
std::string BulkDeleteQuestion(int count);

inline constexpr std::string_view kNoInvalidMessage = "No invaild startup item is found.";
inline constexpr std::string_view kNoHarmfulMessage = "No harmful startup item is found.";
inline constexpr std::string_view kNoDisabledMessage = "No disabled startup item is found.";
inline constexpr std::string_view kRestoredNotAppliedMessage =
    "The backup is loaded into the list as changes. Click Apply to write them to the system.";
inline constexpr std::string_view kDiscardAndExitQuestion =
    "You have changed the starup list but not applied to the system. Do you want to discard the changes and "
    "exit?";
inline constexpr std::string_view kDiscardAndRefreshQuestion =
    "You have changed the starup list but not applied to the system. By refresh the startup list, you will "
    "lose "
    "the changes and the current system startup setting will be loaded. Are you sure?";

} // namespace qb
