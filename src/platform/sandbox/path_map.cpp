#include "platform/sandbox/path_map.h"

#include "platform/failure_cause.h"
#include "platform/load_scope.h"
#include "platform/text.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>
#include <system_error>

namespace qb::sandbox {

namespace fs = std::filesystem;

std::optional<WindowsPath> ParseWindowsPath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos || path.size() < 2 || path[1] != ':') {
        return std::nullopt;
    }
    const char letter = UpperCase(path.substr(0, 1))[0];
    if (letter < 'A' || letter > 'Z') {
        return std::nullopt;
    }
    std::string_view rest = path.substr(2);
    // "C:name" is relative to the drive's current directory: the sandbox has none.
    if (!rest.empty() && rest[0] != '\\' && rest[0] != '/') {
        return std::nullopt;
    }
    WindowsPath out;
    out.drive = letter;
    std::size_t i = 0;
    while (i <= rest.size()) {
        const std::size_t end = rest.find_first_of("\\/", i);
        std::string_view part =
            rest.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        // Windows drops trailing dots and blanks of every component ("a. " is "a"), except "." and "..".
        if (part != "." && part != "..") {
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
                part.remove_suffix(1);
            }
        }
        if (part == "..") {
            if (!out.components.empty()) {
                out.components.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            out.components.emplace_back(part);
        }
        if (end == std::string_view::npos) {
            break;
        }
        i = end + 1;
    }
    return out;
}

PathMap::PathMap(fs::path root) : root_(std::move(root)), drivePrefix_((root_ / "drive_").string()) {}

namespace {
// A directory changed within this many nanoseconds of now may change again within the same tick of a coarse
// file-system clock, unseen: its index is not kept. Linux file systems tick in milliseconds.
constexpr std::int64_t kSettledNanoseconds = 1'000'000'000;

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}
} // namespace

std::optional<PathMap::Entry> PathMap::DirectoryIndex::Find(const std::string& name) const {
    const auto hit = names.find(UpperCase(name));
    if (hit == names.end()) {
        return std::nullopt;
    }
    if (hit->second.name != name) {
        const auto exact = std::find_if(others.begin(), others.end(),
                                        [&](const Entry& other) { return other.name == name; });
        if (exact != others.end()) {
            return *exact; // the exact spelling wins
        }
    }
    return hit->second;
}

namespace {
PathMap::Kind KindOf(const fs::directory_entry& entry) {
    // The type comes with the listing; only links (and file systems that give no type) cost a stat.
    std::error_code ec;
    if (entry.is_regular_file(ec)) {
        return PathMap::Kind::File;
    }
    if (entry.is_directory(ec)) {
        return PathMap::Kind::Directory;
    }
    return ec ? PathMap::Kind::Missing : PathMap::Kind::Other; // a broken link
}
} // namespace

PathMap::DirectoryIndex PathMap::ReadIndex(const fs::path& dir, const struct stat& info) {
    DirectoryIndex index;
    index.device = info.st_dev;
    index.inode = info.st_ino;
    index.modified = Nanoseconds(info.st_mtim);
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        Entry entry{it->path().filename().string(), KindOf(*it)};
        auto [slot, added] = index.names.try_emplace(UpperCase(entry.name), entry);
        // Several spellings can only exist on a case-sensitive host; take the first in byte order.
        if (!added) {
            if (entry.name < slot->second.name) {
                std::swap(entry, slot->second);
            }
            index.others.push_back(std::move(entry));
        }
    }
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    index.settled = Nanoseconds(now) - index.modified > kSettledNanoseconds;
    return index;
}

std::optional<PathMap::Entry> PathMap::FindEntry(const std::string& dir, const std::string& name) const {
    const std::uint64_t load = CurrentLoad();
    const std::string& key = dir;
    if (load != 0) {
        // Within a load a folder is checked once: its first lookup in the load lists or confirms it, the
        // others use that listing, and no component costs a stat.
        std::lock_guard guard(cacheMutex_);
        if (const auto cached = cache_.find(key); cached != cache_.end() && cached->second.load == load) {
            return cached->second.isDirectory ? cached->second.Find(name) : std::nullopt;
        }
    }
    struct stat info {};
    if (load == 0 && ::lstat((dir + '/' + name).c_str(), &info) == 0) {
        return Entry{name, Kind::Other};
    }
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (load != 0) {
            std::lock_guard guard(cacheMutex_);
            DirectoryIndex& missing = cache_[key];
            missing = DirectoryIndex{};
            missing.isDirectory = false;
            missing.load = load;
        }
        return std::nullopt;
    }
    std::lock_guard guard(cacheMutex_);
    auto cached = cache_.find(key);
    const bool fresh = cached != cache_.end() && cached->second.isDirectory && cached->second.settled &&
                       cached->second.device == info.st_dev && cached->second.inode == info.st_ino &&
                       cached->second.modified == Nanoseconds(info.st_mtim);
    if (fresh) {
        cached->second.load = load;
        return cached->second.Find(name);
    }
    DirectoryIndex index = ReadIndex(fs::path(dir), info);
    std::optional<Entry> found = index.Find(name);
    if (index.settled || load != 0) {
        // An unsettled folder's listing serves the load it was read in, never a later read.
        index.load = load;
        cache_[key] = std::move(index);
    } else if (cached != cache_.end()) {
        cache_.erase(cached);
    }
    return found;
}

std::string PathMap::DriveFolder(char drive) const {
    std::string folder = drivePrefix_;
    folder += static_cast<char>(drive - 'A' + 'a');
    return folder;
}

std::optional<fs::path> PathMap::ToHost(std::string_view windowsPath) const {
    const auto parsed = ParseWindowsPath(windowsPath);
    if (!parsed) {
        return std::nullopt;
    }
    // Built as text: a path object would split itself into components again at every step.
    std::string host = DriveFolder(parsed->drive);
    bool existing = true;
    for (const auto& component : parsed->components) {
        std::optional<Entry> entry;
        if (existing) {
            entry = FindEntry(host, component);
            existing = entry.has_value();
        }
        host += '/';
        host += entry ? entry->name : component;
    }
    return fs::path(std::move(host));
}

std::optional<PathMap::Kind> PathMap::KindInLoad(std::string_view windowsPath) const {
    if (CurrentLoad() == 0) {
        return std::nullopt;
    }
    const auto parsed = ParseWindowsPath(windowsPath);
    if (!parsed) {
        return Kind::Missing;
    }
    if (parsed->components.empty()) {
        return std::nullopt;
    }
    std::string host = DriveFolder(parsed->drive);
    std::optional<Entry> entry;
    for (const auto& component : parsed->components) {
        entry = FindEntry(host, component);
        if (!entry) {
            return Kind::Missing;
        }
        host += '/';
        host += entry->name;
    }
    return entry->kind;
}

namespace {
std::vector<std::string> UpperComponents(const WindowsPath& path) {
    std::vector<std::string> out{std::string(1, path.drive)};
    for (const auto& component : path.components) {
        out.push_back(UpperCase(component));
    }
    return out;
}
} // namespace

void PathMap::ProtectFromWriting(const std::vector<std::string>& windowsFolders) {
    for (const auto& folder : windowsFolders) {
        if (const auto parsed = ParseWindowsPath(folder); parsed && !parsed->components.empty()) {
            protected_.push_back(UpperComponents(*parsed));
        }
    }
}

std::optional<fs::path> PathMap::ToHostForWriting(std::string_view windowsPath) const {
    const auto parsed = ParseWindowsPath(windowsPath);
    if (!parsed) {
        SetLastFailure(FailureCause::BadName);
        return std::nullopt;
    }
    const auto path = UpperComponents(*parsed);
    for (const auto& folder : protected_) {
        if (path.size() >= folder.size() && std::equal(folder.begin(), folder.end(), path.begin())) {
            SetLastFailure(FailureCause::AccessDenied);
            return std::nullopt;
        }
    }
    if (CurrentLoad() != 0) {
        // What is written now changes listings the load has taken: they are checked again.
        std::lock_guard guard(cacheMutex_);
        for (auto& [dir, index] : cache_) {
            index.load = 0;
        }
    }
    auto host = ToHost(windowsPath);
    if (!host) {
        SetLastFailure(FailureCause::BadName);
    }
    return host;
}

std::optional<std::string> PathMap::ToWindows(const fs::path& hostPath) const {
    const fs::path relative = hostPath.lexically_normal().lexically_relative(root_.lexically_normal());
    auto it = relative.begin();
    if (relative.empty() || it == relative.end()) {
        return std::nullopt;
    }
    const std::string drive = it->string();
    if (drive.size() != 7 || !drive.starts_with("drive_") || drive[6] < 'a' || drive[6] > 'z') {
        return std::nullopt;
    }
    std::string out{static_cast<char>(drive[6] - 'a' + 'A'), ':'};
    ++it;
    if (it == relative.end()) {
        return out + "\\";
    }
    for (; it != relative.end(); ++it) {
        if (it->empty() || *it == ".") {
            continue;
        }
        out += '\\';
        out += it->string();
    }
    return out;
}

} // namespace qb::sandbox
