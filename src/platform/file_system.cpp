#include "platform/file_system.h"

#include "platform/text.h"

#include <algorithm>

namespace qb {

namespace {
// Classic backtracking glob over upper-cased text.
bool Glob(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}
} // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    const std::string upperName = UpperCase(name);
    std::string upperPattern = UpperCase(pattern);
    // FindFirstFile treats a pattern ending in ".*" as also matching names without any dot.
    if (upperPattern.size() >= 2 && upperPattern.ends_with(".*")) {
        if (Glob(upperName, upperPattern.substr(0, upperPattern.size() - 2))) {
            return true;
        }
    }
    return Glob(upperName, upperPattern);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '\\') {
        out.push_back('\\');
    }
    out += name;
    return out;
}

} // namespace qb

namespace qb {

namespace {
bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "<digits>-<digits>" and nothing else.
bool IsNumberPair(std::string_view text) {
    const auto dash = text.find('-');
    return dash != std::string_view::npos && AllDigits(text.substr(0, dash)) &&
           AllDigits(text.substr(dash + 1));
}
} // namespace

bool IsTemporaryFileName(std::string_view name) {
    // The Windows backend's atomic write: "<name>.~qb<pid>-<n>"; the apply's staged files: "~qb<n>-<n>.tmp".
    if (const auto at = name.rfind(".~qb");
        at != std::string_view::npos && IsNumberPair(name.substr(at + 4))) {
        return true;
    }
    if (name.starts_with("~qb") && name.ends_with(".tmp") && IsNumberPair(name.substr(3, name.size() - 7))) {
        return true;
    }
    // The sandbox's atomic write: ".<name>.tmp-<pid>-<n>".
    const auto at = name.rfind(".tmp-");
    return name.starts_with('.') && at != std::string_view::npos && at > 0 &&
           IsNumberPair(name.substr(at + 5));
}

std::optional<std::string> StoredSpelling(std::string_view path, FileSystem& files) {
    const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (!drive) {
        return std::nullopt;
    }
    std::string stored = UpperCase(path.substr(0, 2));
    std::string_view rest = path.substr(3);
    while (!rest.empty()) {
        const auto end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (part.empty()) {
            continue; // a doubled or trailing backslash
        }
        if (part.find_first_of("*?") != std::string_view::npos) {
            return std::nullopt;
        }
        // The part itself as the pattern: the file system compares it without regard to case.
        const std::string folder = stored + "\\";
        std::optional<std::string> found;
        for (const FileEntry& entry : files.FindFiles(folder, part)) {
            if (EqualsIgnoreCase(entry.name, part)) {
                found = entry.name;
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
        stored = folder + *found;
    }
    return stored.size() == 2 ? stored + "\\" : stored; // the drive's root keeps its backslash
}

} // namespace qb
