#include "session/watched_apply.h"

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
        // An apply is all or nothing: the error rolled every change back, and the marks stay for another
        // try. Should the rollback itself have been cut short, the system says which changes were made:
        // those are reloaded, and the user is told which were not.
        result.outcome = ApplyOutcome::Applied;
        result.error = error.what();
        Inventory now;
        CountingIconSink noIcons; // a load made only to see what the system holds
        LoadInventory(now, services, ratings, noIcons);
        const bool madeSome = std::any_of(wanted.begin(), wanted.end(), [&](const WantedChange& change) {
            return ChangeMade(change, now);
        });
        if (madeSome) {
            LoadInventory(inventory, services, ratings, icons);
        }
        auto& told = result.report.notChanged;
        bool worthAList = false; // something was made, or refused for a reason of its own
        for (const WantedChange& change : wanted) {
            const bool toldAlready = std::any_of(told.begin(), told.end(), [&](const NotChangedEntry& entry) {
                return entry.record == change.record;
            });
            if (toldAlready || ChangeMade(change, now)) {
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
        if (!madeSome) {
            return result; // nothing to learn; the marks wait for the next try
        }
    }
    if (result.outcome == ApplyOutcome::Applied) {
        watch.Applied(inventory, result.report.notChanged);
    }
    return result;
}

} // namespace qb
