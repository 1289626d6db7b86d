#pragma once

#include "platform/text.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// What ExpandEnvironmentStrings makes of text, given how to look a variable up (nullopt: not set).
// Scanning from the left, a "%" opens a reference that the next "%" closes:
// - a reference to a set variable is replaced by its value, which is not scanned again;
// - a reference to a variable that is not set, and the empty reference "%%", stay as written, closing
//   "%" included, and scanning goes on after it (so in "%UNSET%WINDIR%" nothing is expanded);
// - a "%" that nothing closes stays, with the rest of the text.
// Text without "%" comes back unchanged.
template <typename Lookup>
std::string ExpandEnvironmentReferences(std::string_view text, const Lookup& lookup) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) {
            break;
        }
        out.append(text, pos, open - pos);
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            pos = open;
            break;
        }
        const std::string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value;
        if (!name.empty()) {
            value = lookup(name);
        }
        if (value) {
            out += *value;
        } else {
            out.append(text, open, close - open + 1);
        }
        pos = close + 1;
    }
    out.append(text, std::min(pos, text.size()));
    return out;
}

// A set of environment variables as Windows keeps them: names match without regard to letter case, and a
// variable is either set to a non-empty text or not set at all (setting one to "" removes it, as `set
// NAME=` does).
class EnvironmentTable {
public:
    void Set(std::string_view name, std::string value) {
        if (name.empty()) {
            return;
        }
        if (value.empty()) {
            if (const auto found = values_.find(name); found != values_.end()) {
                values_.erase(found);
            }
            return;
        }
        values_.insert_or_assign(std::string(name), std::move(value));
    }

    std::optional<std::string> Find(std::string_view name) const {
        const auto found = values_.find(name);
        if (found == values_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    // ExpandEnvironmentStrings over this table.
    std::string Expand(std::string_view text) const {
        return ExpandEnvironmentReferences(text, [this](std::string_view name) { return Find(name); });
    }

private:
    std::map<std::string, std::string, LessIgnoreCaseOrder> values_;
};

} // namespace qb
