#include "baseline/entry_differences.h"

#include "platform/text.h"

#include <unordered_map>

namespace qb {

std::string EntryKey(std::string_view name, std::string_view location) {
    // A label never holds a line break, so the two parts cannot run into each other. The name's first 259
    // bytes only: a file of an older version holds no more of a longer one (SameName tells them apart).
    std::string key(location);
    key += '\n';
    key += UpperCase(CutAtCharBoundary(name, FieldText::kLimit));
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
            if (SameName(before[it->second].name, now[j].name) && SameSetting(before[it->second], now[j])) {
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
        // The earliest of the waiting copies of the name, so the pairing follows the lists' order.
        const auto [first, last] = waiting.equal_range(EntryKey(now[j].name, now[j].location));
        auto earliest = last;
        for (auto other = first; other != last; ++other) {
            if (SameName(before[other->second].name, now[j].name) &&
                (earliest == last || other->second < earliest->second)) {
                earliest = other;
            }
        }
        if (earliest == last) {
            differences.added.push_back(now[j]);
            continue;
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
