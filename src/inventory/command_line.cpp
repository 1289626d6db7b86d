#include "inventory/command_line.h"

#include "platform/text.h"

#include <algorithm>
#include <vector>

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

constexpr std::string_view kDefaultProgramExtensions =
    ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC";
constexpr std::string_view kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

std::vector<std::string> SplitList(std::string_view list) {
    std::vector<std::string> parts;
    while (!list.empty()) {
        const auto end = std::min(list.find(';'), list.size());
        if (end > 0) {
            parts.emplace_back(list.substr(0, end));
        }
        list.remove_prefix(std::min(end + 1, list.size()));
    }
    return parts;
}

// A variable's value, or "" when it is not set (the reference then stays as written).
std::string Variable(SystemInfo& system, std::string_view name) {
    const std::string reference = "%" + std::string(name) + "%";
    std::string value = system.ExpandEnvironmentStrings(reference);
    return value == reference ? std::string() : value;
}

bool IsFullPath(std::string_view path) {
    return path.size() >= 3 && ((path[1] == ':' && path[2] == '\\') || path.starts_with("\\\\"));
}

// A name ending in a dot counts as having one: Windows appends nothing to it.
bool HasExtension(std::string_view path) {
    const auto name = path.substr(path.rfind('\\') == std::string_view::npos ? 0 : path.rfind('\\') + 1);
    return name.find('.') != std::string_view::npos;
}

class ProgramSearch {
public:
    ProgramSearch(SystemInfo& system, FileSystem& files, Registry& registry)
        : system_(system), files_(files), registry_(registry) {
        std::string extensions = Variable(system, "PATHEXT");
        extensions_ =
            SplitList(extensions.empty() ? kDefaultProgramExtensions : std::string_view(extensions));
    }

    std::string Find(const std::string& program) {
        if (program.find_first_of("\\:") != std::string::npos) {
            return IsFullPath(program) ? WithExtensions(program) : std::string();
        }
        std::vector<std::string> folders = {system_.SystemDirectory(), system_.WindowsDirectory()};
        for (std::string& folder : SplitList(Variable(system_, "PATH"))) {
            folders.push_back(std::move(folder));
        }
        for (const std::string& folder : folders) {
            if (std::string found = WithExtensions(folder + "\\" + program); !found.empty()) {
                return found;
            }
        }
        return Registered(program);
    }

private:
    std::string WithExtensions(const std::string& path) {
        if (HasExtension(path)) {
            return files_.FileExists(path) ? path : std::string();
        }
        for (const std::string& extension : extensions_) {
            if (files_.FileExists(path + extension)) {
                return path + extension;
            }
        }
        return {};
    }

    // The App Paths key's default value: a full path, quoted or not.
    std::string Registered(const std::string& program) {
        const std::string name = HasExtension(program) ? program : program + ".exe";
        const auto key =
            registry_.OpenForReading(RegistryRoot::LocalMachine, std::string(kAppPathsKey) + name);
        const auto value = key ? key->ReadValue("") : std::nullopt;
        if (!value || !value->IsText()) {
            return {};
        }
        std::string path = system_.ExpandEnvironmentStrings(value->data);
        if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
            path = path.substr(1, path.size() - 2);
        }
        return IsFullPath(path) && files_.FileExists(path) ? path : std::string();
    }

    SystemInfo& system_;
    FileSystem& files_;
    Registry& registry_;
    std::vector<std::string> extensions_;
};

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

std::string FindProgram(std::string_view command, SystemInfo& system, FileSystem& files, Registry& registry) {
    std::string line = system.ExpandEnvironmentStrings(command);
    std::replace(line.begin(), line.end(), '/', '\\');
    std::string_view rest = line;
    while (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    while (!rest.empty() && rest.back() == ' ') {
        rest.remove_suffix(1);
    }
    ProgramSearch search(system, files, registry);
    if (rest.starts_with('"')) {
        const auto close = rest.find('"', 1);
        return search.Find(std::string(rest.substr(1, close == std::string_view::npos ? close : close - 1)));
    }
    for (auto blank = rest.find(' ');; blank = rest.find(' ', blank + 1)) {
        const std::string_view program = rest.substr(0, blank);
        if (program.find('"') != std::string_view::npos) {
            return {};
        }
        if (!program.empty() && program.back() != ' ') {
            if (std::string found = search.Find(std::string(program)); !found.empty()) {
                return found;
            }
        }
        if (blank == std::string_view::npos) {
            return {};
        }
    }
}

bool TargetFound(std::string_view command, SystemInfo& system, FileSystem& files, Registry& registry) {
    return !TargetPath(command, system, files).empty() || TargetExists(command, system, files) ||
           !FindProgram(command, system, files, registry).empty();
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
