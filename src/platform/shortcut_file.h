#pragma once

#include "platform/shell.h"
#include "platform/shell_link.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// A shortcut file's bytes as both backends hand them out: decoded in the folder that holds the link, with
// the system's code page and folders from the context, and the target finished as the system hands it
// out (its %NAME% references expanded; the short form where the system has one). No bytes: the file
// could not be read.
ShortcutLoad ShortcutFromFile(std::string_view path, const std::optional<std::string>& bytes,
                              ShellLinkContext context,
                              const std::function<std::string(const std::string&)>& finishTarget);

} // namespace qb
