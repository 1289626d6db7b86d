#include "changes/apply_dialog_rows.h"

#include "changes/pending_changes.h"

#include <array>

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

std::string ApplyDialogSummary(const Inventory& inventory) {
    // What the entries gain or lose first, then what is changed in place, then what only switches.
    constexpr std::array kOrder = {ChangeKind::Add, ChangeKind::Delete, ChangeKind::Edit, ChangeKind::Enable,
                                   ChangeKind::Disable};
    std::array<int, kOrder.size()> counts{};
    int total = 0;
    for (const auto& item : inventory.Items) {
        for (const ChangeKind kind : ChangeKinds(*item)) {
            for (std::size_t i = 0; i < kOrder.size(); ++i) {
                counts[i] += kOrder[i] == kind ? 1 : 0;
            }
            ++total;
        }
    }
    const auto counted = [](int count, std::string_view word) {
        std::string text = std::to_string(count) + " ";
        for (const char c : word) { // the kinds' names are ASCII words
            text += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return text + (count == 1 ? "" : "s");
    };
    std::string text = counted(total, "change");
    std::string_view separator = ": ";
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        if (counts[i] > 0) {
            text += std::string(separator) + counted(counts[i], ChangeKindName(kOrder[i]));
            separator = ", ";
        }
    }
    return text;
}

} // namespace qb
