#include "inventory/startup_location.h"

#include "platform/text.h"

#include <algorithm>
#include <array>

namespace qb {

namespace {

#define QB_CV "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"

constexpr std::array<TreeNodeInfo, kTreeNodeCount> kTreeNodes = {{
    {TreeNode::AllPrograms, "All Programs", -1},
    {TreeNode::AllUsers, "All Users", 0},
    {TreeNode::AllUsersRegistry, "Registry", 1},
    {TreeNode::AllUsersRun, "Run", 2},
    {TreeNode::AllUsersRun32, "Run (32-bit)", 2},
    {TreeNode::AllUsersRunOnce, "RunOnce", 2},
    {TreeNode::AllUsersRunOnce32, "RunOnce (32-bit)", 2},
    {TreeNode::AllUsersRunOnceEx, "RunOnceEx", 2},
    {TreeNode::AllUsersServices, "Services", 2},
    {TreeNode::AllUsersServicesOnce, "ServicesOnce", 2},
    {TreeNode::AllUsersStartupMenu, "Startup Menu", 1},
    {TreeNode::CurrentUser, "Current User", 0},
    {TreeNode::CurrentUserRegistry, "Registry", 11},
    {TreeNode::CurrentUserRun, "Run", 12},
    {TreeNode::CurrentUserRunOnce, "RunOnce", 12},
    {TreeNode::CurrentUserStartupMenu, "Startup Menu", 11},
}};

struct Keys {
    std::string_view key;
    std::string_view disabledKey;
};

constexpr StartupLocation Reg(std::string_view label, RegistryRoot hive, Keys keys, int loadStep,
                              std::optional<TreeNode> node, int editorPosition,
                              std::string_view approved = {}, RegistryView view = RegistryView::Native) {
    return {label, LocationKind::Registry, hive, keys.key, keys.disabledKey, {}, loadStep,
            node,  editorPosition,         view, approved};
}

constexpr StartupLocation Folder(std::string_view label, RegistryRoot hive, std::string_view disabledFolder,
                                 int loadStep, TreeNode node, int editorPosition) {
    return {label,          LocationKind::Folder, hive,           {}, {}, disabledFolder, loadStep, node,
            editorPosition, RegistryView::Native, "StartupFolder"};
}

constexpr auto HKLM = RegistryRoot::LocalMachine;
constexpr auto HKCU = RegistryRoot::CurrentUser;

// Every disabled twin is its key with "Disabled" appended to the last component, in the same hive.
constexpr Keys kRun{QB_CV "Run", QB_CV "RunDisabled"};
constexpr Keys kExplorerRun{QB_CV "Policies\\Explorer\\Run", QB_CV "Policies\\Explorer\\RunDisabled"};
constexpr Keys kRunOnce{QB_CV "RunOnce", QB_CV "RunOnceDisabled"};
constexpr Keys kRunOnceEx{QB_CV "RunOnceEx", QB_CV "RunOnceExDisabled"};
constexpr Keys kServicesOnce{QB_CV "RunServicesOnce", QB_CV "RunServicesOnceDisabled"};
constexpr Keys kServices{QB_CV "RunServices", QB_CV "RunServicesDisabled"};

constexpr auto Wow32 = RegistryView::Wow32;

// The fourteen rows of the original table first, in their order; the 32-bit view's rows (64-bit Windows only)
// after them. Policies and HKEY_CURRENT_USER keys are one key in both views, so they have no 32-bit row.
constexpr std::array<StartupLocation, 16> kLocations = {{
    Reg("All Users\\Registry\\Run", HKLM, kRun, 1, TreeNode::AllUsersRun, 3, "Run"),
    Reg("Current User\\Registry\\Run", HKCU, kRun, 10, TreeNode::CurrentUserRun, 1, "Run"),
    Reg("Current User\\Registry\\Explorer Run", HKLM, kExplorerRun, 3, std::nullopt, 0),
    Reg("All Users\\Registry\\Explorer Run", HKCU, kExplorerRun, 11, std::nullopt, 0),
    Reg("All Users\\Registry\\RunOnce", HKLM, kRunOnce, 4, TreeNode::AllUsersRunOnce, 5),
    Reg("Current User\\Registry\\RunOnce", HKCU, kRunOnce, 12, TreeNode::CurrentUserRunOnce, 2),
    Reg("All Users\\Registry\\RunOnce Ex", HKLM, kRunOnceEx, 8, TreeNode::AllUsersRunOnceEx, 7),
    Reg("Current User\\Registry\\RunOnce Ex", HKCU, kRunOnceEx, 0, std::nullopt, 0),
    Reg("All Users\\Registry\\Run Services Once", HKLM, kServicesOnce, 6, TreeNode::AllUsersServicesOnce, 9),
    Reg("Current User\\Registry\\Run Services Once", HKCU, kServicesOnce, 0, std::nullopt, 0),
    Reg("All Users\\Registry\\Run Services", HKLM, kServices, 7, TreeNode::AllUsersServices, 8),
    Reg("Current User\\Registry\\Run Services", HKCU, kServices, 0, std::nullopt, 0),
    Folder(kAllUsersStartupMenu, HKLM, "ShortCutAllUser", 9, TreeNode::AllUsersStartupMenu, 11),
    Folder(kCurrentUserStartupMenu, HKCU, "ShortCutCurrUser", 13, TreeNode::CurrentUserStartupMenu, 10),
    Reg("All Users\\Registry\\Run (32-bit)", HKLM, kRun, 2, TreeNode::AllUsersRun32, 4, "Run32", Wow32),
    Reg("All Users\\Registry\\RunOnce (32-bit)", HKLM, kRunOnce, 5, TreeNode::AllUsersRunOnce32, 6, {},
        Wow32),
}};

#undef QB_CV

int PositionOf(TreeNode node) {
    for (std::size_t i = 0; i < kTreeNodes.size(); ++i) {
        if (kTreeNodes[i].node == node) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename Key> std::vector<const StartupLocation*> RowsBy(Key key) {
    std::vector<const StartupLocation*> rows;
    for (const auto& location : kLocations) {
        if (key(location) != 0) {
            rows.push_back(&location);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&](auto* a, auto* b) { return key(*a) < key(*b); });
    return rows;
}

} // namespace

std::span<const TreeNodeInfo> TreeNodes() {
    return kTreeNodes;
}

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

const StartupLocation* FindLocationAsWritten(std::string_view label) {
    if (const StartupLocation* exact = FindLocation(label)) {
        return exact;
    }
    for (const auto& location : kLocations) {
        if (EqualsIgnoreCase(location.label, label)) {
            return &location;
        }
    }
    return nullptr;
}

bool PlaceExists(const StartupLocation& location, const OsVersion& version) {
    return location.view == RegistryView::Native || version.x64;
}

std::vector<const StartupLocation*> LoadOrder() {
    return RowsBy([](const StartupLocation& row) { return row.loadStep; });
}

std::vector<std::string_view> EditorLocations() {
    std::vector<std::string_view> labels;
    for (const StartupLocation* row : RowsBy([](const StartupLocation& r) { return r.editorPosition; })) {
        labels.push_back(row->label);
    }
    return labels;
}

std::vector<std::string_view> EditorLocations(const OsVersion& version) {
    std::vector<std::string_view> labels = EditorLocations();
    std::erase_if(labels, [&](std::string_view label) { return !PlaceExists(*FindLocation(label), version); });
    return labels;
}

bool NodeShown(TreeNode node, const OsVersion& version) {
    return std::ranges::none_of(kLocations, [&](const StartupLocation& location) {
        return location.treeNode == node && !PlaceExists(location, version);
    });
}

bool NodeListsLocation(TreeNode node, const StartupLocation& location) {
    if (!location.treeNode) {
        return false; // held, applied and backed up, but never listed
    }
    for (int at = PositionOf(*location.treeNode); at >= 0;
         at = kTreeNodes[static_cast<std::size_t>(at)].parent) {
        if (kTreeNodes[static_cast<std::size_t>(at)].node == node) {
            return true;
        }
    }
    return false;
}

} // namespace qb
