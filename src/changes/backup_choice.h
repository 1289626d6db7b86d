#pragma once

#include "platform/registry.h"

namespace qb {

// The user's choice of an automatic backup before each apply, kept as "AutoBackup" under the tool's key.
// This unit alone reads and writes it.

// The stored choice, created as 1 when missing: false when it is 0. Throws the platform's errors when it
// cannot be kept or read.
bool StoredAutoBackupChoice(Registry& registry);
// The same without creating anything: true when it is missing.
bool PeekAutoBackupChoice(Registry& registry);
// Keeps the choice; throws the platform's error when the tool's key cannot be opened or written.
void RememberAutoBackupChoice(Registry& registry, bool backupFirst);

} // namespace qb
