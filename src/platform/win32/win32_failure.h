#pragma once

#include "platform/failure_cause.h"
#include "platform/win32/win32_api.h"

namespace qb::win32 {

// The cause a Windows error code stands for, as the user should read it.
FailureCause CauseOf(DWORD error);

// Records the cause of a failed call: the code a registry function returned, or GetLastError().
// Gives false, so that a failing branch can end with `return Failed(...)`.
bool Failed(DWORD error);
inline bool FailedWithLastError() {
    return Failed(::GetLastError());
}

} // namespace qb::win32
