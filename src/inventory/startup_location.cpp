#include "inventory/startup_location.h"

namespace qb {

namespace {

#define QB_CV "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"

constexpr StartupLocation Reg(std::string_view label, RegistryRoot hive, std::string_view key,
                              std::string_view disabledKey, bool readAtLoad, std::optional<TreeNode> node,
                              bool offered) {
    return {label, LocationKind::Registry, hive, key, disabledKey, {}, {}, readAtLoad, node, offered};
}

constexpr StartupLocation Folder(std::string_view label, RegistryRoot hive, std::string_view valueName,
                                 std::string_view disabledFolder, TreeNode node) {
    return {label, LocationKind::Folder, hive, kShellFoldersKey, {}, valueName, disabledFolder, true, node,
            true};
}

constexpr auto HKLM = RegistryRoot::LocalMachine;
constexpr auto HKCU = RegistryRoot::CurrentUser;

constexpr std::array<StartupLocation, 14> kLocations = {{
    Reg("All Users\\Registry\\Run", HKLM, QB_CV "Run", QB_CV "RunDisabled", true, TreeNode::AllUsersRun,
        true),
    Reg("Current User\\Registry\\Run", HKCU, QB_CV "Run", QB_CV "RunDisabled", true, TreeNode::CurrentUserRun,
        true),
    Reg("Current User\\Registry\\Explorer Run", HKLM, QB_CV "Policies\\Explorer\\Run",
        QB_CV "Policies\\Explorer\\RunDisabled", true, std::nullopt, false),
    Reg("All Users\\Registry\\Explorer Run", HKCU, QB_CV "Policies\\Explorer\\Run",
        QB_CV "Policies\\Explorer\\RunDisabled", true, std::nullopt, false),
    Reg("All Users\\Registry\\RunOnce", HKLM, QB_CV "RunOnce", QB_CV "RunOnceDisabled", true,
        TreeNode::AllUsersRunOnce, true),
    Reg("Current User\\Registry\\RunOnce", HKCU, QB_CV "RunOnce", QB_CV "RunOnceDisabled", true,
        TreeNode::CurrentUserRunOnce, true),
    Reg("All Users\\Registry\\RunOnce Ex", HKLM, QB_CV "RunOnceEx", QB_CV "RunOnceExDisabled", true,
        TreeNode::AllUsersRunOnceEx, true),
    Reg("Current User\\Registry\\RunOnce Ex", HKCU, QB_CV "RunOnceEx", QB_CV "RunOnceExDisabled", false,
        std::nullopt, false),
    Reg("All Users\\Registry\\Run Services Once", HKLM, QB_CV "RunServicesOnce",
        QB_CV "RunServicesOnceDisabled", true, TreeNode::AllUsersServicesOnce, true),
    Reg("Current User\\Registry\\Run Services Once", HKCU, QB_CV "RunServicesOnce",
        QB_CV "RunServicesOnceDisabled", false, std::nullopt, false),
    Reg("All Users\\Registry\\Run Services", HKLM, QB_CV "RunServices", QB_CV "RunServicesDisabled", true,
        TreeNode::AllUsersServices, true),
    Reg("Current User\\Registry\\Run Services", HKCU, QB_CV "RunServices", QB_CV "RunServicesDisabled", false,
        std::nullopt, false),
    Folder(kAllUsersStartupMenu, HKLM, "Common Startup", "ShortCutAllUser", TreeNode::AllUsersStartupMenu),
    Folder(kCurrentUserStartupMenu, HKCU, "Startup", "ShortCutCurrUser", TreeNode::CurrentUserStartupMenu),
}};

#undef QB_CV

bool IsAllUsersLeaf(TreeNode node) {
    return node >= TreeNode::AllUsersRun && node <= TreeNode::AllUsersStartupMenu;
}

bool IsCurrentUserLeaf(TreeNode node) {
    return node >= TreeNode::CurrentUserRun && node <= TreeNode::CurrentUserStartupMenu;
}

} // namespace

std::span<const StartupLocation> StartupLocations() {
    return kLocations;
}

const StartupLocation* FindLocation(std::string_view label) {
    for (const auto& location : kLocations) {
        if (location.label == label) {
            return &location;
        }
    }
    return nullptr;
}

bool NodeListsLocation(TreeNode node, const StartupLocation& location) {
    if (!location.treeNode) {
        return false; // held, applied and backed up, but never listed
    }
    const TreeNode leaf = *location.treeNode;
    const bool registry = location.kind == LocationKind::Registry;
    switch (node) {
    case TreeNode::AllPrograms:
        return true;
    case TreeNode::AllUsers:
        return IsAllUsersLeaf(leaf);
    case TreeNode::AllUsersRegistry:
        return IsAllUsersLeaf(leaf) && registry;
    case TreeNode::CurrentUser:
        return IsCurrentUserLeaf(leaf);
    case TreeNode::CurrentUserRegistry:
        return IsCurrentUserLeaf(leaf) && registry;
    default:
        return leaf == node;
    }
}

} // namespace qb
