#include "changes/apply_dialog_rows.h"

#include "changes/pending_changes.h"

namespace qb {

std::vector<ApplyDialogRow> ApplyDialogRows(const Inventory& inventory) {
    std::vector<ApplyDialogRow> rows;
    for (const auto& item : inventory.Items) {
        std::string changes;
        for (const ChangeKind kind : ChangeKinds(*item)) {
            if (!changes.empty()) {
                changes += ",";
            }
            changes += ChangeKindName(kind);
        }
        if (changes.empty()) {
            continue;
        }
        const char* status = item->State == ItemState::Enabled    ? "Enabled"
                             : item->State == ItemState::Disabled ? "Disabled"
                                                                  : "";
        rows.push_back({changes, item->Name, item->Command, item->Location, status});
    }
    return rows;
}

} // namespace qb
