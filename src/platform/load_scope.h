#pragma once

#include <cstdint>

namespace qb {

// A load of the inventory reads the same few files thousands of times (the registry file at every value,
// the database's tables at every rating, the process table at every process). While a LoadScope lives on a
// thread, what caches those files checks each file's freshness once in that load instead of at every read:
// the load sees one state of each file, and the next load checks again. Outside a scope every read checks,
// so a change made between two loads (an apply, another program) is always seen by the next one.
// Scopes nest: an inner scope belongs to the load of the outer one.
class LoadScope {
public:
    LoadScope();
    ~LoadScope();
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;
};

// The load running on this thread: 0 outside any scope, otherwise a number no other load had.
std::uint64_t CurrentLoad();

// One file's freshness check as its cache makes it: due at every read outside a load, once inside one.
class FreshnessCheck {
public:
    // Whether the caller must check the file now; inside a load, true only the first time in it.
    bool Due();
    // Makes the next read check again, even within the same load (after the cache could not be filled).
    void Forget() { checkedIn_ = 0; }

private:
    std::uint64_t checkedIn_ = 0;
};

} // namespace qb
