#include "platform/sandbox/path_map.h"

#include "platform/text.h"

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

PathMap::PathMap(fs::path root) : root_(std::move(root)) {}

namespace {
// The entry of dir whose name equals name without regard to case; the exact spelling wins.
std::optional<std::string> FindEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(dir / name, ec)) {
        return name;
    }
    std::optional<std::string> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (EqualsIgnoreCase(candidate, name)) {
            // Several spellings can only exist on a case-sensitive host; take the first in byte order.
            if (!found || candidate < *found) {
                found = candidate;
            }
        }
    }
    return found;
}
} // namespace

std::optional<fs::path> PathMap::ToHost(std::string_view windowsPath) const {
    const auto parsed = ParseWindowsPath(windowsPath);
    if (!parsed) {
        return std::nullopt;
    }
    const char driveName[] = {'d', 'r', 'i', 'v', 'e', '_', static_cast<char>(parsed->drive - 'A' + 'a'),
                              '\0'};
    fs::path host = root_ / driveName;
    bool existing = true;
    for (const auto& component : parsed->components) {
        if (existing) {
            if (auto entry = FindEntry(host, component)) {
                host /= *entry;
                continue;
            }
            existing = false;
        }
        host /= component;
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
