#pragma once

#include <string_view>

namespace qb {

// Why a platform call that reported failure (nullptr, false) failed, as far as the system said. Windows
// keeps its last error per thread and so does this: a backend sets the cause where a call fails, and the
// caller reads it right after the call, before making another. A call that succeeds leaves it alone.
enum class FailureCause {
    Unknown,      // the system gave no reason we know
    AccessDenied, // the user may not change it (a standard user and HKEY_LOCAL_MACHINE, say)
    NotFound,     // the key, value, file or folder is not there
    InUse,        // another program holds it open
    AlreadyThere, // something of that name is there already and is not to be replaced
    BadName,      // the name cannot be used there
    DiskFull,     // no room left on the drive (or the user's quota is used up)
};

void SetLastFailure(FailureCause cause);
FailureCause LastFailure();

// "access denied", "not found", "in use by another program", "something of that name is already there",
// "the name cannot be used there", "the disk is full", "the system refused it".
std::string_view DescribeFailure(FailureCause cause);

} // namespace qb
