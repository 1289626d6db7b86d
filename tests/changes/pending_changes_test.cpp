#include "changes/pending_changes.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using K = ChangeKind;

namespace {
constexpr auto D = ItemState::Deleted;
constexpr auto E = ItemState::Enabled;
constexpr auto X = ItemState::Disabled;

StartupItem& Record(Inventory& inventory, const char* name, const char* command, ItemState loaded,
                    ItemState state) {
    StartupItem& item = inventory.Append({});
    item.Name = name;
    item.Command = command;
    item.Location = "Current User\\Registry\\Run";
    item.LoadedState = loaded;
    item.State = state;
    return item;
}
} // namespace

TEST(PendingChanges, KindsFollowTheMarks) {
    const struct {
        ItemState loaded, state;
        bool edited;
        std::vector<K> kinds;
        bool pending;
    } cases[] = {
        {E, E, false, {}, false},
        {X, X, false, {}, false},
        {X, E, false, {K::Enable}, true},
        {E, X, false, {K::Disable}, true},
        {E, D, false, {K::Delete}, true},
        {X, D, true, {K::Delete}, true},
        {D, E, false, {K::Add}, true},
        {D, X, false, {K::Add}, true},
        {D, D, false, {}, false}, // added, then deleted again
        {D, D, true, {}, true},   // added, edited, deleted again
        {E, E, true, {K::Edit}, true},
        {X, X, true, {K::Edit}, true},
        {X, E, true, {K::Enable, K::Edit}, true},
        {E, X, true, {K::Disable, K::Edit}, true},
        {D, E, true, {K::Add, K::Edit}, true},
        {D, X, true, {K::Add, K::Edit}, true},
    };
    for (const auto& c : cases) {
        StartupItem item;
        item.LoadedState = c.loaded;
        item.State = c.state;
        item.Edited = c.edited;
        SCOPED_TRACE(std::to_string(static_cast<int>(c.loaded)) + "/" +
                     std::to_string(static_cast<int>(c.state)) + (c.edited ? " edited" : ""));
        EXPECT_EQ(ChangeKinds(item), c.kinds);
        EXPECT_EQ(IsPending(item), c.pending);
        Inventory inventory;
        inventory.Append(item);
        EXPECT_EQ(HasPendingChanges(inventory), c.pending);
    }
}

TEST(PendingChanges, ACheckBoxToggledTwiceLeavesNothingPending) {
    Inventory inventory;
    Record(inventory, "A", "C:\\a.exe", E, E);
    const RowKey row{"A", "Current User\\Registry\\Run", "C:\\a.exe"};
    EXPECT_TRUE(SetCheckedState(inventory, row, false));
    EXPECT_TRUE(HasPendingChanges(inventory));
    EXPECT_TRUE(SetCheckedState(inventory, row, true));
    EXPECT_FALSE(HasPendingChanges(inventory));
    EXPECT_FALSE(SetCheckedState(inventory, {"A", "Current User\\Registry\\Run", "C:\\other.exe"}, false));
}

TEST(PendingChanges, TheCheckBoxChangesOnlyTheFirstLiveMatch) {
    Inventory inventory;
    Record(inventory, "Twin", "C:\\t.exe", E, D);
    auto& second = Record(inventory, "Twin", "C:\\t.exe", E, E);
    auto& third = Record(inventory, "Twin", "C:\\t.exe", E, E);
    SetCheckedState(inventory, {"Twin", "Current User\\Registry\\Run", "C:\\t.exe"}, false);
    EXPECT_EQ(inventory.Items[0]->State, D); // deleted stays deleted
    EXPECT_EQ(second.State, X);
    EXPECT_EQ(third.State, E);
}

TEST(PendingChanges, DeletingARowDeletesEveryMatchingRecordByItsRowCommand) {
    Inventory inventory;
    Record(inventory, "Gone", "C:\\Gone\\a.exe", E, E);
    Record(inventory, "Gone", "C:\\Gone\\a.exe", X, X);
    Record(inventory, "Gone", "C:\\Other\\a.exe", E, E);
    // The row shows "[Invalid Path]C:\Gone\a.exe"; its row command has no marker.
    EXPECT_EQ(DeleteMatchingEntries(inventory, {"Gone", "Current User\\Registry\\Run", "C:\\Gone\\a.exe"}),
              2);
    EXPECT_EQ(inventory.Items[0]->State, D);
    EXPECT_EQ(inventory.Items[1]->State, D);
    EXPECT_EQ(inventory.Items[2]->State, E);
}

TEST(PendingChanges, BulkDeletesCountAlreadyDeletedRecordsToo) {
    Inventory inventory;
    auto& harmful = Record(inventory, "Bad", "C:\\bad.exe", E, E);
    harmful.Rating = Rating::Harmful;
    harmful.PathValid = true;
    auto& invalid = Record(inventory, "Invalid", "C:\\gone.exe", X, X);
    invalid.PathValid = false;
    auto& good = Record(inventory, "Good", "C:\\good.exe", E, E);
    good.PathValid = true;
    EXPECT_EQ(DeleteAllHarmful(inventory), 1);
    EXPECT_EQ(DeleteAllHarmful(inventory), 1); // the deleted record still counts
    EXPECT_EQ(DeleteAllDisabled(inventory), 1);
    EXPECT_EQ(DeleteAllDisabled(inventory), 0); // a deleted record is no longer disabled
    EXPECT_EQ(DeleteAllInvalid(inventory), 1);
    EXPECT_EQ(good.State, E);
    EXPECT_EQ(kNoInvalidMessage, "No invaild startup item is found.");
}

TEST(PendingChanges, TheQuestionBeforeABulkDeleteCountsOnlyWhatIsStillListed) {
    Inventory inventory;
    const auto add = [&](const char* name, ItemState state, Rating rating, bool pathValid) {
        auto& item = Record(inventory, name, "C:\\a.exe", E, state);
        item.Rating = rating;
        item.PathValid = pathValid;
    };
    add("Bad", E, Rating::Harmful, true);
    add("Worse", D, Rating::Harmful, false); // deleted already: counts for nothing
    add("Gone", X, Rating::Harmful, false);
    add("Off", X, Rating::Unknown, true);
    add("Lost", E, Rating::Unknown, false);
    const auto counts = [&] {
        return std::vector<int>{CountAllInvalid(inventory), CountAllHarmful(inventory),
                                CountAllDisabled(inventory)};
    };
    EXPECT_EQ(counts(), (std::vector<int>{2, 2, 2}));
    DeleteAllHarmful(inventory);
    EXPECT_EQ(counts(), (std::vector<int>{1, 0, 1}));
    DeleteAllInvalid(inventory);
    EXPECT_EQ(counts(), (std::vector<int>{0, 0, 1}));

    const struct {
        int count;
        const char* question;
    } questions[] = {{1, "Delete 1 entry?"}, {2, "Delete 2 entries?"}, {12, "Delete 12 entries?"}};
    for (const auto& q : questions) {
        EXPECT_EQ(BulkDeleteQuestion(q.count), q.question);
    }
}

// SecurityHealth runs "%windir%\system32\SecurityHealthSystray.exe": its program is there once the reference
// is expanded, so the bulk delete of invalid entries must pass it over.
TEST(PendingChanges, DeletingAllInvalidEntriesOfTheDemoSystemKeepsThoseWithReferences) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(sandbox::SeedDemoSystem(dir.Path() / "root", error)) << error;
    auto opened = sandbox::SandboxSystem::Open(dir.Path() / "root");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    ProgramDatabase database(system.Files());
    CountingIconSink icons;
    Inventory inventory;
    LoadInventory(inventory, system.Services(), database, icons);

    const auto securityHealth = std::find_if(inventory.Items.begin(), inventory.Items.end(),
                                             [](const auto& item) { return item->Name == "SecurityHealth"; });
    ASSERT_NE(securityHealth, inventory.Items.end());
    EXPECT_EQ((*securityHealth)->Command, "%windir%\\system32\\SecurityHealthSystray.exe"); // kept as written
    EXPECT_TRUE((*securityHealth)->PathValid);
    EXPECT_EQ((*securityHealth)->Rating, Rating::Required);

    DeleteAllInvalid(inventory);
    std::vector<std::string> deleted;
    for (const auto& item : inventory.Items) {
        if (item->State == ItemState::Deleted) {
            deleted.push_back(item->Name.str());
        }
    }
    // The entries whose program is really missing, and the one with no command at all.
    EXPECT_THAT(deleted, ElementsAre("UpdateCheck", "", "QuickLaunchHelper", "FinishSetup"));
    EXPECT_EQ((*securityHealth)->State, ItemState::Enabled);
}

} // namespace qb
