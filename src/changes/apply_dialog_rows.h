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

// The count above the dialog's list: every kind of change of every row, in the order add, delete, edit,
// enable, disable, each kind named as the rows name it ("4 changes: 1 delete, 3 disables"; "1 change: 1
// enable"). A record disabled and edited counts twice, as its row shows two words. "0 changes" when the
// list is empty (an entry added and deleted again before applying).
std::string ApplyDialogSummary(const Inventory& inventory);

} // namespace qb
