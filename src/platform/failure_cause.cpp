#include "platform/failure_cause.h"

namespace qb {

namespace {
thread_local FailureCause lastFailure = FailureCause::Unknown;
} // namespace

void SetLastFailure(FailureCause cause) {
    lastFailure = cause;
}

FailureCause LastFailure() {
    return lastFailure;
}

std::string_view DescribeFailure(FailureCause cause) {
    switch (cause) {
    case FailureCause::AccessDenied:
        return "access denied";
    case FailureCause::NotFound:
        return "not found";
    case FailureCause::InUse:
        return "in use by another program";
    case FailureCause::AlreadyThere:
        return "something of that name is already there";
    case FailureCause::BadName:
        return "the name cannot be used there";
    case FailureCause::DiskFull:
        return "the disk is full";
    case FailureCause::Unknown:
        break;
    }
    return "the system refused it";
}

} // namespace qb
