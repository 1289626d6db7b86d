#pragma once

#include "inventory/startup_item.h"

#include <iosfwd>
#include <vector>

namespace qb::cli {

enum class ListFormat { Table, Json, Csv };

// The records the main window's "All Programs" node shows, in inventory order; with all, also those of the
// places no node lists. Deleted records never show.
std::vector<const StartupItem*> ListedItems(const Inventory& inventory, bool all);

// A readable aligned table (with a Change column when an entry is marked); JSON, an array of objects with
// the keys name, command, location, state, rating, pathValid, memoryKB, peakMemoryKB, approved and change
// ("new", "returned", "changed" or null); or CSV with the same columns but approved. The memory column is
// titled "Status" where only running or not can be told.
void PrintList(std::ostream& out, const std::vector<const StartupItem*>& items, ListFormat format,
               bool statusOnly);

} // namespace qb::cli
