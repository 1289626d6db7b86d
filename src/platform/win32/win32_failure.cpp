#include "platform/win32/win32_failure.h"

namespace qb::win32 {

FailureCause CauseOf(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
        return FailureCause::AccessDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FailureCause::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FailureCause::InUse;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FailureCause::AlreadyThere;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return FailureCause::BadName;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FailureCause::DiskFull;
    default:
        return FailureCause::Unknown;
    }
}

bool Failed(DWORD error) {
    SetLastFailure(CauseOf(error));
    return false;
}

} // namespace qb::win32
