#include "baseline/watched_apply.h"

#include "changes/applied_changes.h"
#include "inventory/startup_scan.h"
#include "platform/platform_error.h"

#include <algorithm>

namespace qb {

WatchedApplyResult ApplyWatched(Inventory& inventory, PlatformServices services,
                                ApplyConfirmation& confirmation, RatingSource& ratings, IconSink& icons,
                                ChangeWatch& watch, bool rememberChoice) {
    WatchedApplyResult result;
    watch.Applying(inventory);
    const std::vector<WantedChange> wanted = WantedChanges(inventory);
    try {
        result.outcome =
            ApplyChanges(inventory, services, confirmation, ratings, icons, rememberChoice, &result.report);
    } catch (const PlatformError& error) {
        // Files moved and values written before the error are on the system: the system itself says which
        // changes were made. The marks of the others go with the reload; the user is told they were not made.
        result.outcome = ApplyOutcome::Applied;
        result.error = error.what();
        LoadInventory(inventory, services, ratings, icons);
        auto& told = result.report.notChanged;
        bool worthAList = false; // something was made, or refused for a reason of its own
        for (const WantedChange& change : wanted) {
            const bool toldAlready = std::any_of(told.begin(), told.end(), [&](const NotChangedEntry& entry) {
                return entry.record == change.record;
            });
            if (toldAlready || ChangeMade(change, inventory)) {
                worthAList = true;
            } else {
                told.push_back({change.name, change.location, *result.error, change.record});
            }
        }
        // An error before anything was made says it all; after some changes, the list says what stayed.
        services.dialogs.ShowMessage(*result.error, MessageKind::Error, MessageButtons::Ok);
        if (worthAList && !told.empty()) {
            services.dialogs.ShowMessage(NotChangedMessage(told), MessageKind::Warning, MessageButtons::Ok);
        }
    }
    if (result.outcome == ApplyOutcome::Applied) {
        watch.Applied(inventory, result.report.notChanged);
    }
    return result;
}

} // namespace qb
