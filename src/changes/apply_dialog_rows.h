#pragma once

#include "inventory/startup_item.h"
#include "platform/registry.h"

#include <string>
#include <vector>

namespace qb {

// One row of the apply dialog: the kinds of change joined by "," and the entry as it will be.
struct ApplyDialogRow {
    std::string changes;
    std::string name;
    std::string command;
    std::string location;
    std::string status; // "Enabled", "Disabled", or "" for a deletion
};

// A row for every record with a kind of change, in the order of Items.
std::vector<ApplyDialogRow> ApplyDialogRows(const Inventory& inventory);

} // namespace qb
