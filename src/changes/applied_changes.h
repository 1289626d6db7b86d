#pragma once

#include "inventory/startup_item.h"

#include <string>
#include <vector>

namespace qb {

// A pending change as it should leave the system, taken before an apply: when the apply stops part-way
// (the registry's final write fails, say), the system loaded again tells which changes were made.
struct WantedChange {
    int record = -1;  // the position in Items before the apply, as NotChangedEntry::record
    std::string name; // as the record holds it
    std::string location;
    std::string command;                  // a shortcut's arguments follow its target, after a blank
    ItemState state = ItemState::Enabled; // Deleted: the entry is gone
};

// Every record that carries a change, in list order.
std::vector<WantedChange> WantedChanges(const Inventory& inventory);

// Whether the loaded inventory shows the change made: an entry of that name (in any letter case, as
// Windows compares names), place, state and command, or, for a deletion, none of that name, place and
// command. A shortcut's command is compared without its quotes, which the link does not keep.
bool ChangeMade(const WantedChange& wanted, const Inventory& loaded);

} // namespace qb
