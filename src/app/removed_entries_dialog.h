#pragma once

#include "backup/saved_entry.h"

#include <vector>

class QWidget;

namespace qb {

// Lists the entries that were there when the user last accepted the startup setting and are gone now:
// no row of the main list can show them. Modal, closed with its Close button.
void ShowRemovedEntries(QWidget* owner, const std::vector<SavedEntry>& removed);

} // namespace qb
