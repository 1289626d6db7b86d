#include "changes/pending_changes.h"

#include "inventory/row_texts.h"

#include <algorithm>

namespace qb {

std::vector<ChangeKind> ChangeKinds(const StartupItem& item) {
    std::vector<ChangeKind> kinds;
    const ItemState loaded = item.LoadedState;
    const ItemState state = item.State;
    if (loaded == ItemState::Disabled && state == ItemState::Enabled) {
        kinds.push_back(ChangeKind::Enable);
    }
    if (loaded == ItemState::Enabled && state == ItemState::Disabled) {
        kinds.push_back(ChangeKind::Disable);
    }
    if (loaded == ItemState::Deleted && state != ItemState::Deleted) {
        kinds.push_back(ChangeKind::Add);
    }
    if (loaded != ItemState::Deleted && state == ItemState::Deleted) {
        kinds.push_back(ChangeKind::Delete);
    }
    if (item.Edited && state != ItemState::Deleted) {
        kinds.push_back(ChangeKind::Edit);
    }
    return kinds;
}

std::string_view ChangeKindName(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Enable:
        return "Enable";
    case ChangeKind::Disable:
        return "Disable";
    case ChangeKind::Add:
        return "Add";
    case ChangeKind::Delete:
        return "Delete";
    case ChangeKind::Edit:
        return "Edit";
    }
    return {};
}

bool IsPending(const StartupItem& item) {
    return item.State != item.LoadedState || item.Edited;
}

bool HasPendingChanges(const Inventory& inventory) {
    return std::any_of(inventory.Items.begin(), inventory.Items.end(),
                       [](const auto& item) { return IsPending(*item); });
}

namespace {
bool Matches(const StartupItem& item, const RowKey& row) {
    return item.Name == row.caption && item.Location == row.location && ShownCommand(item) == row.rowCommand;
}

template <typename Condition> int DeleteWhere(Inventory& inventory, Condition condition) {
    int count = 0;
    for (auto& item : inventory.Items) {
        if (condition(*item)) {
            MarkDeleted(*item);
            ++count;
        }
    }
    return count;
}

template <typename Condition> int CountWhere(const Inventory& inventory, Condition condition) {
    return static_cast<int>(
        std::count_if(inventory.Items.begin(), inventory.Items.end(), [&](const auto& item) {
            return item->State != ItemState::Deleted && condition(*item);
        }));
}

bool IsInvalid(const StartupItem& item) {
    return !item.PathValid;
}
bool IsHarmful(const StartupItem& item) {
    return item.Rating == Rating::Harmful;
}
bool IsDisabled(const StartupItem& item) {
    return item.State == ItemState::Disabled;
}
} // namespace

bool SetCheckedState(Inventory& inventory, const RowKey& row, bool checked) {
    for (auto& item : inventory.Items) {
        if (item->State != ItemState::Deleted && Matches(*item, row)) {
            item->State = checked ? ItemState::Enabled : ItemState::Disabled;
            return true;
        }
    }
    return false;
}

int DeleteMatchingEntries(Inventory& inventory, const RowKey& row) {
    return DeleteWhere(inventory, [&](const StartupItem& item) { return Matches(item, row); });
}

int DeleteAllInvalid(Inventory& inventory) {
    return DeleteWhere(inventory, IsInvalid);
}

int DeleteAllHarmful(Inventory& inventory) {
    return DeleteWhere(inventory, IsHarmful);
}

int DeleteAllDisabled(Inventory& inventory) {
    return DeleteWhere(inventory, IsDisabled);
}

int CountAllInvalid(const Inventory& inventory) {
    return CountWhere(inventory, IsInvalid);
}

int CountAllHarmful(const Inventory& inventory) {
    return CountWhere(inventory, IsHarmful);
}

int CountAllDisabled(const Inventory& inventory) {
    return CountWhere(inventory, IsDisabled);
}

bool UndoDelete(StartupItem& item) {
    if (item.State != ItemState::Deleted || item.LoadedState == ItemState::Deleted) {
        return false;
    }
    item.State = item.StateBeforeDelete;
    return true;
}

std::string BulkDeleteQuestion(int count) {
    return "Delete " + std::to_string(count) + (count == 1 ? " entry?" : " entries?");
}

} // namespace qb
