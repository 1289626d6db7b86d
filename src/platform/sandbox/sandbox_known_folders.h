#pragma once

#include "platform/registry.h"
#include "platform/sandbox/sandbox_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace qb::sandbox {

// SHGetKnownFolderPath on the simulated machine, for a known folder's GUID in registry form. The system's
// folders come from the settings (the startup folders, Windows, System32) and their environment (the
// profile, Program Files, ProgramData, AppData); the user's and the shared shell folders from the registry
// as Windows keeps them ("User Shell Folders", expanded, then "Shell Folders"), else their usual place.
// nullopt for a folder this machine does not have.
std::optional<std::string> SandboxKnownFolderPath(const SandboxSettings& settings, Registry& registry,
                                                  std::string_view folderId);

} // namespace qb::sandbox
