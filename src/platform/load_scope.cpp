#include "platform/load_scope.h"

#include <atomic>

namespace qb {

namespace {
std::atomic<std::uint64_t> lastLoad{0};
thread_local std::uint64_t currentLoad = 0;
thread_local int depth = 0;
} // namespace

LoadScope::LoadScope() {
    if (depth++ == 0) {
        currentLoad = ++lastLoad;
    }
}

LoadScope::~LoadScope() {
    if (--depth == 0) {
        currentLoad = 0;
    }
}

std::uint64_t CurrentLoad() {
    return currentLoad;
}

bool FreshnessCheck::Due() {
    const std::uint64_t load = currentLoad;
    if (load == 0) {
        return true;
    }
    if (checkedIn_ == load) {
        return false;
    }
    checkedIn_ = load;
    return true;
}

} // namespace qb
