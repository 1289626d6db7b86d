#pragma once

#include "cli/session.h"

#include <iosfwd>

namespace qb::cli {

// compare FILE: the system set beside a backup file, by name and place; what the system has that the
// backup has not is "added". Prints each difference and a count, or with --json one object {"added",
// "removed", "changed"}. Exit status 0 when they agree, 3 when they differ, 1 when the file is no backup.
int CompareCommand(const Options& options, std::ostream& out, std::ostream& err);

// accept: the marks of new, returned and changed entries have been seen; the system as it is becomes the
// accepted setting.
int AcceptCommand(const Options& options, std::ostream& out, std::ostream& err);

} // namespace qb::cli
