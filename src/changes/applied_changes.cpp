#include "changes/applied_changes.h"

#include "changes/pending_changes.h"
#include "inventory/startup_location.h"
#include "platform/text.h"

#include <algorithm>

namespace qb {

namespace {

// A shortcut keeps its target and its arguments apart, and neither keeps the quotes of the command it was
// made from: compared as one text without quotes.
std::string ComparableCommand(std::string_view location, std::string_view command,
                              std::string_view arguments) {
    if (!HoldsFiles(location)) {
        return std::string(command);
    }
    std::string text(command);
    if (!arguments.empty()) {
        text += ' ';
        text += arguments;
    }
    std::erase(text, '"');
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

} // namespace

std::vector<WantedChange> WantedChanges(const Inventory& inventory) {
    std::vector<WantedChange> wanted;
    for (std::size_t i = 0; i < inventory.Items.size(); ++i) {
        const StartupItem& item = *inventory.Items[i];
        if (ChangeKinds(item).empty()) {
            continue;
        }
        wanted.push_back({static_cast<int>(i), item.Name.str(), item.Location.str(),
                          ComparableCommand(item.Location, item.Command, item.Arguments), item.State});
    }
    return wanted;
}

bool ChangeMade(const WantedChange& wanted, const Inventory& loaded) {
    const bool present =
        std::any_of(loaded.LoadedItems.begin(), loaded.LoadedItems.end(), [&](const StartupItem* item) {
            return EqualsIgnoreCase(item->Name, wanted.name) && item->Location == wanted.location &&
                   ComparableCommand(item->Location, item->Command, item->Arguments) == wanted.command &&
                   (wanted.state == ItemState::Deleted || item->LoadedState == wanted.state);
        });
    return wanted.state == ItemState::Deleted ? !present : present;
}

} // namespace qb
