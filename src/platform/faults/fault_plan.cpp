#include "platform/faults/fault_plan.h"

#include "platform/failure_cause.h"

#include <algorithm>

namespace qb {

void FaultPlan::Reset() {
    failChange_ = -1;
    changesSeen_ = 0;
    failNames_.clear();
    rules_.clear();
    log_.clear();
}

bool FaultPlan::ShouldFail(std::string_view name, std::string_view subject, bool changesSystem) {
    Operation operation{std::string(name), std::string(subject), changesSystem, false};
    if (changesSystem) {
        operation.failed = changesSeen_ == failChange_;
        ++changesSeen_;
    }
    operation.failed =
        operation.failed || std::find(failNames_.begin(), failNames_.end(), name) != failNames_.end() ||
        std::any_of(rules_.begin(), rules_.end(), [&](const Rule& rule) { return rule(operation); });
    log_.push_back(operation);
    if (operation.failed) {
        SetLastFailure(cause_);
    }
    return operation.failed;
}

} // namespace qb
