#pragma once

#include "platform/failure_cause.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// Decides which platform operations fail. The faulty services ask it before every operation, naming the
// operation ("registry.write-value", "files.copy", ...) and what it works on, and saying whether it would
// change the system. A test fails the n-th change, every operation of a name, or whatever a rule picks.
class FaultPlan {
public:
    struct Operation {
        std::string name;    // "registry.write-value"
        std::string subject; // the key and value, the file, ...
        bool changesSystem;
        bool failed;
    };
    using Rule = std::function<bool(const Operation&)>;

    // Fails the n-th operation that changes the system (counted from 0 since the plan was made or reset).
    void FailChange(int index) { failChange_ = index; }
    // Fails every operation of this name.
    void FailOperation(std::string name) { failNames_.push_back(std::move(name)); }
    void FailWhen(Rule rule) { rules_.push_back(std::move(rule)); }
    // The cause a failed operation leaves for its caller to read (LastFailure).
    void FailWith(FailureCause cause) { cause_ = cause; }
    void Reset();

    // Called by the faulty services: true when the operation is to fail. Every call is logged.
    bool ShouldFail(std::string_view name, std::string_view subject, bool changesSystem);

    int ChangesSeen() const { return changesSeen_; }
    const std::vector<Operation>& Log() const { return log_; }

private:
    int failChange_ = -1;
    FailureCause cause_ = FailureCause::InUse;
    int changesSeen_ = 0;
    std::vector<std::string> failNames_;
    std::vector<Rule> rules_;
    std::vector<Operation> log_;
};

} // namespace qb
