#include "baseline/entry_differences.h"

#include "platform/text.h"

#include <unordered_map>

namespace qb {

std::string EntryKey(std::string_view name, std::string_view location) {
    // A label never holds a line break, so the two parts cannot run into each other.
    std::string key(location);
    key += '\n';
    key += UpperCase(name);
    return key;
}

bool SameSetting(const SavedEntry& a, const SavedEntry& b) {
    return a.state == b.state && SameCommand(a.command, b.command) && a.arguments == b.arguments;
}

EntryDifferences CompareEntries(const std::vector<SavedEntry>& before, const std::vector<SavedEntry>& now) {
    // A place may hold one name twice (a value in both a run key and its twin with empty data, a shortcut
    // in a startup folder and in its disabled folder): entries that agree in everything pair up first, so
    // a second copy is not taken for a change of the first.
    std::unordered_multimap<std::string, std::size_t> waiting;
    for (std::size_t i = 0; i < before.size(); ++i) {
        waiting.emplace(EntryKey(before[i].name, before[i].location), i);
    }
    std::vector<bool> paired(before.size(), false);
    std::vector<std::size_t> unpaired;
    for (std::size_t j = 0; j < now.size(); ++j) {
        const auto [first, last] = waiting.equal_range(EntryKey(now[j].name, now[j].location));
        auto match = last;
        for (auto it = first; it != last; ++it) {
            if (SameSetting(before[it->second], now[j])) {
                match = it;
                break;
            }
        }
        if (match == last) {
            unpaired.push_back(j);
            continue;
        }
        paired[match->second] = true;
        waiting.erase(match);
    }

    EntryDifferences differences;
    for (const std::size_t j : unpaired) {
        const auto it = waiting.find(EntryKey(now[j].name, now[j].location));
        if (it == waiting.end()) {
            differences.added.push_back(now[j]);
            continue;
        }
        // The earliest of the waiting copies, so the pairing follows the lists' order.
        auto earliest = it;
        const auto [first, last] = waiting.equal_range(it->first);
        for (auto other = first; other != last; ++other) {
            if (other->second < earliest->second) {
                earliest = other;
            }
        }
        paired[earliest->second] = true;
        differences.changed.push_back({before[earliest->second], now[j]});
        waiting.erase(earliest);
    }
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!paired[i]) {
            differences.removed.push_back(before[i]);
        }
    }
    return differences;
}

} // namespace qb
