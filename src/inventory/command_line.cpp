#include "inventory/command_line.h"

#include "platform/text.h"

namespace qb {

namespace {

constexpr std::string_view kUpperInvalidPathMarker = "[INVALID PATH]";

// s[a..b] with 1-based, inclusive positions, cut at the end of s; empty when b < a.
std::string Slice(std::string_view s, int a, int b) {
    if (a < 1) {
        a = 1;
    }
    if (b < a || static_cast<std::size_t>(a) > s.size()) {
        return {};
    }
    return std::string(s.substr(static_cast<std::size_t>(a - 1), static_cast<std::size_t>(b - a + 1)));
}

bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

bool HasHostProgram(std::string_view s) {
    for (const auto marker : kHostProgramList) {
        if (Contains(s, marker)) {
            return true;
        }
    }
    return false;
}

// Upper-cases and drops a list's invalid-path prefix. The first 14 characters go whenever the marker
// occurs anywhere: commands come from list cells, where it can only stand in front.
std::string Normalise(std::string_view command) {
    std::string s = UpperCase(command);
    if (Contains(s, kUpperInvalidPathMarker)) {
        s.erase(0, std::min(s.size(), kUpperInvalidPathMarker.size()));
    }
    return s;
}

// The path part of an upper-cased command given its extension position: from after the first double
// quote, or from the start, through the extension.
std::string PathThroughExtension(std::string_view s, int e) {
    const auto quote = s.find('"');
    if (quote != std::string_view::npos) {
        return Slice(s, static_cast<int>(quote) + 2, e + 3);
    }
    return Slice(s, 1, e + 3);
}

std::string AfterLastBackslash(std::string s) {
    const auto p = s.rfind('\\');
    if (p != std::string::npos && p > 0) { // a backslash in the first position stays
        s.erase(0, p + 1);
    }
    return s;
}

} // namespace

int FindExtension(std::string_view s) {
    // The first extension followed by a blank, then by a quote; found without building the pair.
    for (const char follower : {' ', '"'}) {
        for (const auto extension : kExtensionList) {
            for (auto p = s.find(extension); p != std::string_view::npos; p = s.find(extension, p + 1)) {
                if (p + extension.size() < s.size() && s[p + extension.size()] == follower) {
                    return static_cast<int>(p) + 1;
                }
            }
        }
    }
    for (const auto extension : kExtensionList) {
        const auto p = s.find(extension);
        if (p != std::string_view::npos && p + extension.size() == s.size()) {
            return static_cast<int>(p) + 1;
        }
    }
    return 0;
}

std::string TargetPath(std::string_view command, SystemInfo& system, FileSystem& files) {
    std::string s = Normalise(system.ExpandEnvironmentStrings(command));
    if (HasHostProgram(s)) {
        return s;
    }
    if (FindExtension(s) == 0) {
        const auto space = s.find(' ');
        s = (space != std::string::npos ? s.substr(0, space) : s) + ".EXE";
    }
    const int e = FindExtension(s);
    if (!Contains(s, ":\\")) {
        const std::string name = Slice(s, 1, e + 3);
        for (const std::string& dir : {system.SystemDirectory(), system.WindowsDirectory()}) {
            const std::string candidate = dir + "\\" + name;
            if (files.FileExists(candidate)) {
                return candidate;
            }
        }
        return {};
    }
    s = PathThroughExtension(s, e);
    return files.FileExists(s) ? s : std::string();
}

bool TargetExists(std::string_view command, SystemInfo& system, FileSystem& files) {
    const std::string expanded = system.ExpandEnvironmentStrings(command);
    const auto exists = [&](const std::string& path) {
        const bool full =
            path.size() >= 3 && ((path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\"));
        return full && (files.FileExists(path) || files.DirectoryExists(path));
    };
    return exists(expanded) || exists(SplitProgramAndArguments(expanded).program);
}

std::string TargetFileName(std::string_view command) {
    if (command.empty()) {
        return {};
    }
    std::string s = Normalise(command);
    if (HasHostProgram(s)) {
        return s;
    }
    const int e = FindExtension(s);
    if (e == 0) {
        // No extension: the first word names the program better than the three characters a slice
        // through a missing extension would keep.
        std::string_view rest = s;
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '"')) {
            rest.remove_prefix(1);
        }
        std::string word(rest.substr(0, rest.find_first_of(" \"")));
        return AfterLastBackslash(std::move(word));
    }
    return AfterLastBackslash(PathThroughExtension(s, e));
}

ProgramAndArguments SplitProgramAndArguments(std::string_view command) {
    // Only ASCII is upper-cased here, so that positions found in the upper-cased text hold in the command's
    // own spelling; the extensions looked for are ASCII.
    const std::string upper = AsciiUpperCase(command);
    std::string_view rest = command;
    const auto trimLeft = [](std::string_view text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        }
        return text;
    };
    const auto trimRight = [](std::string_view text) {
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
            text.remove_suffix(1);
        }
        return text;
    };
    const int e = FindExtension(upper);
    const std::string_view trimmed = trimLeft(rest);
    const std::size_t lead = rest.size() - trimmed.size();
    if (!trimmed.empty() && trimmed.front() == '"') {
        // A quoted program ends at its closing quote.
        const auto close = trimmed.find('"', 1);
        if (close == std::string_view::npos) {
            return {std::string(trimmed.substr(1)), {}};
        }
        return {std::string(trimmed.substr(1, close - 1)),
                std::string(trimRight(trimLeft(trimmed.substr(close + 1))))};
    }
    if (e > 0 && static_cast<std::size_t>(e) > lead) {
        const std::size_t end = std::min(command.size(), static_cast<std::size_t>(e) + 3);
        std::string_view arguments = command.substr(end);
        if (!arguments.empty() && arguments.front() == '"') {
            arguments.remove_prefix(1);
        }
        return {std::string(command.substr(lead, end - lead)), std::string(trimRight(trimLeft(arguments)))};
    }
    const auto space = trimmed.find_first_of(" \t");
    if (space == std::string_view::npos) {
        return {std::string(trimRight(trimmed)), {}};
    }
    return {std::string(trimmed.substr(0, space)), std::string(trimRight(trimLeft(trimmed.substr(space))))};
}

} // namespace qb
