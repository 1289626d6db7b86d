#pragma once

#include "platform/registry.h"
#include "platform/system_info.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// What a node of the location tree stands for, which also decides how the window draws it.
enum class NodeKind {
    Everything,  // the top: every listed place
    UsersGroup,  // the places of all users
    UserGroup,   // the places of the current user
    KeysGroup,   // a group of registry places
    RegistryKey, // a place of registry kind
    Folder,      // a place of folder kind
};

// One node of the location tree, as the window shows it. A node is named: a leaf by the label of the
// place it lists, a group by a name of its own; its parent is named the same way.
struct TreeNodeInfo {
    std::string_view name;
    std::string_view caption;
    std::string_view parent; // empty for the top
    NodeKind kind;
};

// The location tree in display order, parents before their children.
std::span<const TreeNodeInfo> TreeNodes();

// The name of the top node, which lists every place that has a node.
inline constexpr std::string_view kAllProgramsNode = "All Programs";

enum class LocationKind { Registry, Folder };

// One place where startup entries live. The label is the only identifier of a place: in the list, the
// apply engine and backup files. Everything the tool does with a place comes from its row: where it is
// read and written, in which order the load reads it, which tree node lists it, whether the editor offers
// it, and where Windows' own on/off switch of its entries is kept. The orders of the load and of the
// editor's pick list and the tree's nodes are lists of labels beside the table.
struct StartupLocation {
    std::string_view label;
    LocationKind kind;
    // Registry rows: the run key, in this hive and view; its disabled twin is DisabledKey().
    // Folder rows: the hive whose startup folder it is (the shell names the folder, as it does at logon),
    // and the folder beside the tool's executable that keeps disabled files.
    RegistryRoot hive;
    std::string_view key;
    std::string_view disabledFolder;
    // The registry view the keys are in. A place in the 32-bit view exists on 64-bit Windows only.
    RegistryView view = RegistryView::Native;
    // The key under Explorer\StartupApproved (in the row's hive, native view) where Windows 8 and later
    // keep the on/off switch of this place's entries; empty for places without one.
    std::string_view approvedKey = {};
    // Registry rows whose key keeps its commands in sections, as RunOnceEx does (run_once_sections.h): the
    // values of its subkeys are entries too, named "section\value", and so are those of its twin's.
    bool sections = false;
};

// The key that keeps a registry place's disabled entries: its key with "Disabled" appended to the last
// component, in the same hive and view.
std::string DisabledKey(const StartupLocation& location);

// The step of the load that reads the place (1 first); 0 for places no load reads.
int LoadStep(const StartupLocation& location);

// The place in the editor's pick list (1 first); 0 for places it does not offer.
int EditorPosition(const StartupLocation& location);

// The tree node that lists the place; nullptr for places never shown.
const TreeNodeInfo* TreeNodeOf(const StartupLocation& location);

// The places in the table's order. Note that "Current User\Registry\Explorer Run" lives under
// HKEY_LOCAL_MACHINE and "All Users\Registry\Explorer Run" under HKEY_CURRENT_USER: scanning, writing and
// backups all use this pairing, so a label always maps back to the key it was read from.
std::span<const StartupLocation> StartupLocations();

// Exact, case-sensitive match of the label; nullptr when no row has it.
const StartupLocation* FindLocation(std::string_view label);

// The row of a label as a user may write it: in any letter case, as Windows users read key and folder
// names. nullptr when no row has it.
const StartupLocation* FindLocationAsWritten(std::string_view label);

// A place's name as the window shows it: its label, except for the two policy keys, which are named for
// the hive they are in ("All Users\Registry\Policies Run" is the machine's). FindLocationAsWritten takes
// these names too.
std::string_view ShownLocation(std::string_view label);

// Whether the entries of the labelled place are files (a startup folder's), named with their ending; false
// for a place of values and for a label of no place.
bool HoldsFiles(std::string_view label);

// Whether the system has the place: a place in the 32-bit view exists on 64-bit Windows only.
bool PlaceExists(const StartupLocation& location, const OsVersion& version);

// The places a load reads, in the order it reads them.
std::vector<const StartupLocation*> LoadOrder();

// The labels the entry editor can offer, in the order of its pick list.
std::vector<std::string_view> EditorLocations();

// Those of them the system has: a 32-bit system offers no 32-bit view.
std::vector<std::string_view> EditorLocations(const OsVersion& version);

// Whether the tree shows the node: the leaf of a place the system lacks is hidden.
bool NodeShown(std::string_view node, const OsVersion& version);

// Whether selecting the node lists entries of this location: the node is the location's leaf or one of
// the leaf's ancestors.
bool NodeListsLocation(std::string_view node, const StartupLocation& location);

// The text the command-line analysis is given for an entry's command at the labelled place: at a place
// that keeps sections, what a section's command runs (SectionCommandTarget); anywhere else the command.
std::string_view AnalysedCommand(std::string_view label, std::string_view command);

// Why a name cannot be an entry's at the labelled place because of how the place keeps its entries, or
// nullopt (SectionEntryNameProblem at a place that keeps sections).
std::optional<std::string> PlaceNameProblem(std::string_view label, std::string_view name);

// Labels of the two startup-menu rows, used where a folder row must be named.
inline constexpr std::string_view kAllUsersStartupMenu = "All Users\\Startup Menu";
inline constexpr std::string_view kCurrentUserStartupMenu = "Current User\\Startup Menu";

} // namespace qb
