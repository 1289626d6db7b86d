#include "platform/file_system.h"

#include "platform/text.h"

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
