#pragma once

#include "cli/session.h"

#include <iosfwd>

namespace qb::cli {

// The commands that change the system. Each makes the marks the window would make and runs the same apply
// engine, with the automatic backup as the stored choice says unless --no-backup. They print each change,
// or with --json one object {"changed": [...], "notChanged": [...], "backup": path or null}. Exit status:
// 0 done, 1 no such entry, the editor's checks refused it, or the system refused a change; 2 bad usage.

// enable, disable, delete: the entry named at the location, as the list's check box or Delete marks it.
int ChangeState(const Options& options, ItemState wanted, std::ostream& out, std::ostream& err);
int AddEntryCommand(const Options& options, std::ostream& out, std::ostream& err);
// A new name, command or place for the entry named at the location, as the window's Edit makes it.
int EditEntryCommand(const Options& options, std::ostream& out, std::ostream& err);
int RestoreCommand(const Options& options, std::ostream& out, std::ostream& err);

// A place that is no label of the tool, or not one the command takes, is bad usage: the message lists the
// places it takes. nullopt when the label is fine.
std::optional<int> CheckPlace(std::string_view label, bool editorPlacesOnly, std::string_view command,
                              std::ostream& err);

} // namespace qb::cli
