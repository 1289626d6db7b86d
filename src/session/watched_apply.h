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
// When the platform stops the apply (the registry's final write fails, a value cannot be written), the
// apply rolls every change back: the user is told the error, every pending change is reported as not
// changed with it as its reason, and the marks stay for another try. Should the rollback have been cut
// short, the system says which changes were made: it is loaded again and the watch learns them. Nothing
// propagates but a failure of that load.
WatchedApplyResult ApplyWatched(Inventory& inventory, PlatformServices services,
                                ApplyConfirmation& confirmation, RatingSource& ratings, IconSink& icons,
                                ChangeWatch& watch, bool rememberChoice);

} // namespace qb
