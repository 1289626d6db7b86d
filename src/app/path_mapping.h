#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// Between the system's paths ("C:\...") and the files this process can open. On Windows both directions
// are the identity; on the sandbox they go through its drives.
struct PathMapping {
    std::function<std::optional<std::string>(std::string_view windowsPath)> toLocal;
    std::function<std::optional<std::string>(std::string_view localPath)> toWindows;
};

} // namespace qb
