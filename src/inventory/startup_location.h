#pragma once

#include "platform/registry.h"

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace qb {

// The nodes of the location tree, in display order.
enum class TreeNode {
    AllPrograms,
    AllUsers,
    AllUsersRegistry,
    AllUsersRun,
    AllUsersRunOnce,
    AllUsersRunOnceEx,
    AllUsersServices,
    AllUsersServicesOnce,
    AllUsersStartupMenu,
    CurrentUser,
    CurrentUserRegistry,
    CurrentUserRun,
    CurrentUserRunOnce,
    CurrentUserStartupMenu,
};
inline constexpr int kTreeNodeCount = 14;

enum class LocationKind { Registry, Folder };

// One place where startup entries live. The label is the only identifier of a place: in the list, the
// apply engine and backup files.
struct StartupLocation {
    std::string_view label;
    LocationKind kind;
    // Registry rows: the run key and its disabled twin, both in this hive.
    // Folder rows: the hive of the "Shell Folders" key, the name of the value there that names the startup
    // folder, and the folder beside the tool's executable that keeps disabled shortcuts.
    RegistryRoot hive;
    std::string_view key;
    std::string_view disabledKey;
    std::string_view shellFolderValue;
    std::string_view disabledFolder;
    bool readAtLoad;
    std::optional<TreeNode> treeNode; // the leaf that lists it; none for places never shown
    bool offeredInEditor;
};

inline constexpr std::string_view kShellFoldersKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The fourteen places, in the table's order. Note that "Current User\Registry\Explorer Run" lives under
// HKEY_LOCAL_MACHINE and "All Users\Registry\Explorer Run" under HKEY_CURRENT_USER: scanning, writing and
// backups all use this pairing, so a label always maps back to the key it was read from.
std::span<const StartupLocation> StartupLocations();

// Exact, case-sensitive match of the label; nullptr when no row has it.
const StartupLocation* FindLocation(std::string_view label);

// Whether selecting the node lists entries of this location.
bool NodeListsLocation(TreeNode node, const StartupLocation& location);

// Labels of the two startup-menu rows, used where a folder row must be named.
inline constexpr std::string_view kAllUsersStartupMenu = "All Users\\Startup Menu";
inline constexpr std::string_view kCurrentUserStartupMenu = "Current User\\Startup Menu";

} // namespace qb
