#pragma once

#include "baseline/change_watch.h"
#include "changes/apply_engine.h"

#include <optional>
#include <string>

namespace qb {

// What an apply did, as both front ends tell it.
struct WatchedApplyResult {
    ApplyOutcome outcome = ApplyOutcome::NothingPending;
    ApplyReport report;
    std::optional<std::string> error; // the platform's error that stopped the apply part-way
};

// The Apply command as both front ends run it, with the change watch around it, so that the accepted
// setting learns every change that was made and a later load does not mark the user's own changes.
// When the platform stops the apply part-way (the registry's final write fails, a value cannot be written),
// what was made stays made: the system is loaded again, every pending change it does not show is reported
// as not changed with the error as its reason, the watch learns the others, and the user is told the
// error and the entries not changed. Nothing propagates but a failure of that second load.
WatchedApplyResult ApplyWatched(Inventory& inventory, PlatformServices services,
                                ApplyConfirmation& confirmation, RatingSource& ratings, IconSink& icons,
                                ChangeWatch& watch, bool rememberChoice);

} // namespace qb
