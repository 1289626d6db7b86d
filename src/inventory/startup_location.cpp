#include "inventory/startup_location.h"

#include "inventory/run_once_sections.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qb {

namespace {

#define QB_CV "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"

constexpr StartupLocation Reg(std::string_view label, RegistryRoot hive, std::string_view key,
                              std::string_view approved = {}, RegistryView view = RegistryView::Native) {
    return {label, LocationKind::Registry, hive, key, {}, view, approved};
}

// A run key that keeps its commands in sections, and its twin the disabled ones in sections of the same
// names.
constexpr StartupLocation Sections(std::string_view label, RegistryRoot hive, std::string_view key) {
    StartupLocation row = Reg(label, hive, key);
    row.sections = true;
    return row;
}

constexpr StartupLocation Folder(std::string_view label, RegistryRoot hive, std::string_view disabledFolder) {
    return {label, LocationKind::Folder, hive, {}, disabledFolder, RegistryView::Native, "StartupFolder"};
}

constexpr auto HKLM = RegistryRoot::LocalMachine;
constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr auto Wow32 = RegistryView::Wow32;

constexpr std::string_view kRun = QB_CV "Run";
constexpr std::string_view kExplorerRun = QB_CV "Policies\\Explorer\\Run";
constexpr std::string_view kRunOnce = QB_CV "RunOnce";
constexpr std::string_view kRunOnceEx = QB_CV "RunOnceEx";
constexpr std::string_view kServicesOnce = QB_CV "RunServicesOnce";
constexpr std::string_view kServices = QB_CV "RunServices";

#undef QB_CV

// The fourteen rows of the original table first, in their order; the 32-bit view's rows (64-bit Windows only)
// after them. Policies and HKEY_CURRENT_USER keys are one key in both views, so they have no 32-bit row.
constexpr std::array kLocations = {
    Reg("All Users\\Registry\\Run", HKLM, kRun, "Run"),
    Reg("Current User\\Registry\\Run", HKCU, kRun, "Run"),
    Reg("Current User\\Registry\\Explorer Run", HKLM, kExplorerRun),
    Reg("All Users\\Registry\\Explorer Run", HKCU, kExplorerRun),
    Reg("All Users\\Registry\\RunOnce", HKLM, kRunOnce),
    Reg("Current User\\Registry\\RunOnce", HKCU, kRunOnce),
    Sections("All Users\\Registry\\RunOnce Ex", HKLM, kRunOnceEx),
    Sections("Current User\\Registry\\RunOnce Ex", HKCU, kRunOnceEx),
    Reg("All Users\\Registry\\Run Services Once", HKLM, kServicesOnce),
    Reg("Current User\\Registry\\Run Services Once", HKCU, kServicesOnce),
    Reg("All Users\\Registry\\Run Services", HKLM, kServices),
    Reg("Current User\\Registry\\Run Services", HKCU, kServices),
    Folder(kAllUsersStartupMenu, HKLM, "ShortCutAllUser"),
    Folder(kCurrentUserStartupMenu, HKCU, "ShortCutCurrUser"),
    Reg("All Users\\Registry\\Run (32-bit)", HKLM, kRun, "Run32", Wow32),
    Reg("All Users\\Registry\\RunOnce (32-bit)", HKLM, kRunOnce, {}, Wow32),
};

// The order in which a load reads the places: the machine's places, then the user's. Places left out are
// held, applied and backed up, but never read.
constexpr auto kLoadOrder = std::to_array<std::string_view>({
    "All Users\\Registry\\Run",
    "All Users\\Registry\\Run (32-bit)",
    "Current User\\Registry\\Explorer Run",
    "All Users\\Registry\\RunOnce",
    "All Users\\Registry\\RunOnce (32-bit)",
    "All Users\\Registry\\Run Services Once",
    "All Users\\Registry\\Run Services",
    "All Users\\Registry\\RunOnce Ex",
    kAllUsersStartupMenu,
    "Current User\\Registry\\Run",
    "All Users\\Registry\\Explorer Run",
    "Current User\\Registry\\RunOnce",
    "Current User\\Registry\\Run Services Once",
    "Current User\\Registry\\Run Services",
    "Current User\\Registry\\RunOnce Ex",
    kCurrentUserStartupMenu,
});

// The entry editor's pick list.
constexpr auto kEditorOrder = std::to_array<std::string_view>({
    "Current User\\Registry\\Run",
    "Current User\\Registry\\RunOnce",
    "All Users\\Registry\\Run",
    "All Users\\Registry\\Run (32-bit)",
    "All Users\\Registry\\RunOnce",
    "All Users\\Registry\\RunOnce (32-bit)",
    "All Users\\Registry\\RunOnce Ex",
    "All Users\\Registry\\Run Services",
    "All Users\\Registry\\Run Services Once",
    kCurrentUserStartupMenu,
    kAllUsersStartupMenu,
});

struct TreeRow {
    std::string_view name; // a place's label, or a group's own name
    std::string_view caption;
    std::string_view parent;
    NodeKind group = NodeKind::KeysGroup; // what a group node stands for; places take their kind
};

constexpr std::string_view kAllUsers = "All Users";
constexpr std::string_view kAllUsersRegistry = "All Users\\Registry";
constexpr std::string_view kCurrentUser = "Current User";
constexpr std::string_view kCurrentUserRegistry = "Current User\\Registry";

// The location tree in display order. A row named by a place's label is the leaf that lists that place.
constexpr auto kTreeRows = std::to_array<TreeRow>({
    {kAllProgramsNode, "All Programs", {}, NodeKind::Everything},
    {kAllUsers, "All Users", kAllProgramsNode, NodeKind::UsersGroup},
    {kAllUsersRegistry, "Registry", kAllUsers},
    {"All Users\\Registry\\Run", "Run", kAllUsersRegistry},
    {"All Users\\Registry\\Run (32-bit)", "Run (32-bit)", kAllUsersRegistry},
    {"All Users\\Registry\\RunOnce", "RunOnce", kAllUsersRegistry},
    {"All Users\\Registry\\RunOnce (32-bit)", "RunOnce (32-bit)", kAllUsersRegistry},
    {"All Users\\Registry\\RunOnce Ex", "RunOnceEx", kAllUsersRegistry},
    {"All Users\\Registry\\Run Services", "Services", kAllUsersRegistry},
    {"All Users\\Registry\\Run Services Once", "ServicesOnce", kAllUsersRegistry},
    // The policy key of the machine, whose label says "Current User" (see ShownLocation).
    {"Current User\\Registry\\Explorer Run", "Policies Run", kAllUsersRegistry},
    {kAllUsersStartupMenu, "Startup Menu", kAllUsers},
    {kCurrentUser, "Current User", kAllProgramsNode, NodeKind::UserGroup},
    {kCurrentUserRegistry, "Registry", kCurrentUser},
    {"Current User\\Registry\\Run", "Run", kCurrentUserRegistry},
    {"Current User\\Registry\\RunOnce", "RunOnce", kCurrentUserRegistry},
    {"Current User\\Registry\\RunOnce Ex", "RunOnceEx", kCurrentUserRegistry},
    {"Current User\\Registry\\Run Services", "Services", kCurrentUserRegistry},
    {"Current User\\Registry\\Run Services Once", "ServicesOnce", kCurrentUserRegistry},
    {"All Users\\Registry\\Explorer Run", "Policies Run", kCurrentUserRegistry},
    {kCurrentUserStartupMenu, "Startup Menu", kCurrentUser},
});

// The window names the two policy keys for the hive they are in; their labels, which backup files and
// the command line have always used, say the other user.
constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kShownLabels = {{
    {"Current User\\Registry\\Explorer Run", "All Users\\Registry\\Policies Run"},
    {"All Users\\Registry\\Explorer Run", "Current User\\Registry\\Policies Run"},
}};

constexpr const StartupLocation* PlaceNamed(std::string_view label) {
    for (const auto& location : kLocations) {
        if (location.label == label) {
            return &location;
        }
    }
    return nullptr;
}

template <std::size_t N> constexpr bool EveryLabelAPlaceOnce(const std::array<std::string_view, N>& labels) {
    for (std::size_t i = 0; i < N; ++i) {
        if (PlaceNamed(labels[i]) == nullptr) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (labels[j] == labels[i]) {
                return false;
            }
        }
    }
    return true;
}

constexpr bool TreeWellFormed() {
    for (std::size_t i = 0; i < kTreeRows.size(); ++i) {
        bool parentBefore = i == 0 && kTreeRows[i].parent.empty();
        for (std::size_t j = 0; j < i; ++j) {
            parentBefore = parentBefore || kTreeRows[j].name == kTreeRows[i].parent;
            if (kTreeRows[j].name == kTreeRows[i].name) {
                return false;
            }
        }
        if (!parentBefore) {
            return false;
        }
        // A row that names no place is a group: one without children is a mistyped label.
        bool hasChild = PlaceNamed(kTreeRows[i].name) != nullptr;
        for (const TreeRow& other : kTreeRows) {
            hasChild = hasChild || other.parent == kTreeRows[i].name;
        }
        if (!hasChild) {
            return false;
        }
    }
    return true;
}

// A label typed twice or one no row has would silently drop a place from the load or the pick list.
static_assert(EveryLabelAPlaceOnce(kLoadOrder), "the load order names each place at most once");
static_assert(EveryLabelAPlaceOnce(kEditorOrder), "the editor's list names each place at most once");
static_assert(TreeWellFormed(),
              "tree nodes are named once, each after its parent, and every group holds a node");

constexpr std::array<TreeNodeInfo, kTreeRows.size()> MakeTreeNodes() {
    std::array<TreeNodeInfo, kTreeRows.size()> nodes{};
    for (std::size_t i = 0; i < kTreeRows.size(); ++i) {
        const TreeRow& row = kTreeRows[i];
        const StartupLocation* place = PlaceNamed(row.name);
        const NodeKind kind = place == nullptr                        ? row.group
                              : place->kind == LocationKind::Registry ? NodeKind::RegistryKey
                                                                      : NodeKind::Folder;
        nodes[i] = {row.name, row.caption, row.parent, kind};
    }
    return nodes;
}

constexpr auto kTreeNodes = MakeTreeNodes();

const TreeNodeInfo* NodeNamed(std::string_view name) {
    for (const auto& info : kTreeNodes) {
        if (info.name == name) {
            return &info;
        }
    }
    return nullptr;
}

template <std::size_t N>
int PositionIn(const std::array<std::string_view, N>& labels, std::string_view label) {
    for (std::size_t i = 0; i < N; ++i) {
        if (labels[i] == label) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

} // namespace

std::span<const TreeNodeInfo> TreeNodes() {
    return kTreeNodes;
}

std::span<const StartupLocation> StartupLocations() {
    return kLocations;
}

const StartupLocation* FindLocation(std::string_view label) {
    return PlaceNamed(label);
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
    for (const auto& [stored, shown] : kShownLabels) {
        if (EqualsIgnoreCase(shown, label)) {
            return FindLocation(stored);
        }
    }
    return nullptr;
}

std::string_view ShownLocation(std::string_view label) {
    for (const auto& [stored, shown] : kShownLabels) {
        if (stored == label) {
            return shown;
        }
    }
    return label;
}

bool HoldsFiles(std::string_view label) {
    const StartupLocation* row = FindLocation(label);
    return row != nullptr && row->kind == LocationKind::Folder;
}

std::string_view AnalysedCommand(std::string_view label, std::string_view command) {
    const StartupLocation* row = FindLocation(label);
    return row != nullptr && row->sections ? SectionCommandTarget(command) : command;
}

std::optional<std::string> PlaceNameProblem(std::string_view label, std::string_view name) {
    const StartupLocation* row = FindLocation(label);
    return row != nullptr && row->sections ? SectionEntryNameProblem(name) : std::nullopt;
}

bool PlaceExists(const StartupLocation& location, const OsVersion& version) {
    return location.view == RegistryView::Native || version.x64;
}

std::string DisabledKey(const StartupLocation& location) {
    return std::string(location.key) + "Disabled";
}

int LoadStep(const StartupLocation& location) {
    return PositionIn(kLoadOrder, location.label);
}

int EditorPosition(const StartupLocation& location) {
    return PositionIn(kEditorOrder, location.label);
}

const TreeNodeInfo* TreeNodeOf(const StartupLocation& location) {
    return NodeNamed(location.label);
}

std::vector<const StartupLocation*> LoadOrder() {
    std::vector<const StartupLocation*> rows;
    for (std::string_view label : kLoadOrder) {
        rows.push_back(PlaceNamed(label));
    }
    return rows;
}

std::vector<std::string_view> EditorLocations() {
    return {kEditorOrder.begin(), kEditorOrder.end()};
}

std::vector<std::string_view> EditorLocations(const OsVersion& version) {
    std::vector<std::string_view> labels = EditorLocations();
    std::erase_if(labels, [&](std::string_view label) { return !PlaceExists(*FindLocation(label), version); });
    return labels;
}

bool NodeShown(std::string_view node, const OsVersion& version) {
    const StartupLocation* place = PlaceNamed(node);
    return place == nullptr || PlaceExists(*place, version);
}

bool NodeListsLocation(std::string_view node, const StartupLocation& location) {
    // A place without a leaf is held, applied and backed up, but never listed.
    for (const TreeNodeInfo* at = TreeNodeOf(location); at != nullptr; at = NodeNamed(at->parent)) {
        if (at->name == node) {
            return true;
        }
    }
    return false;
}

} // namespace qb
