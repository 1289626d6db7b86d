#include "app/command_availability.h"
#include "app/list_rows.h"
#include "app/list_sort.h"
#include "app/rating_colours.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>

namespace qb {

using ::testing::ElementsAre;

namespace {

Inventory MakeInventory() {
    Inventory inventory;
    const struct {
        const char* name;
        const char* location;
        Rating rating;
        ItemState state;
        bool valid;
        std::int32_t memory;
    } records[] = {
        {"LmRun", "All Users\\Registry\\Run", Rating::Harmful, ItemState::Enabled, true, 0},
        {"LmRunOk", "All Users\\Registry\\Run", Rating::Required, ItemState::Disabled, true, 2355},
        {"Hidden", "Current User\\Registry\\Explorer Run", Rating::Harmful, ItemState::Enabled, true, 0},
        {"Services", "All Users\\Registry\\Run Services", Rating::Unknown, ItemState::Enabled, false, -1},
        {"ServicesOnce", "All Users\\Registry\\Run Services Once", Rating::Unknown, ItemState::Enabled, true,
         0},
        {"Gone", "Current User\\Registry\\Run", Rating::Harmful, ItemState::Deleted, true, 0},
        {"CuRun", "Current User\\Registry\\Run", Rating::UserChoice, ItemState::Enabled, true, 0},
        {"CuMenu", "Current User\\Startup Menu", Rating::NotRequired, ItemState::Disabled, true, 0},
    };
    for (const auto& r : records) {
        StartupItem& item = inventory.Append({});
        item.Name = r.name;
        item.Location = r.location;
        item.Rating = r.rating;
        item.State = r.state;
        item.PathValid = r.valid;
        item.Command = "C:\\Old\\a.exe";
        item.MemoryKB = r.memory;
    }
    return inventory;
}

std::vector<std::string> Captions(const std::vector<ListRow>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) {
        out.push_back(row.caption);
    }
    return out;
}

} // namespace

TEST(ListRows, TheTreeNodeAndTheRatingItemCombine) {
    const Inventory inventory = MakeInventory();
    using V = std::vector<std::string>;
    const struct {
        int node;
        int rating;
        V captions;
    } cases[] = {
        {0, 0, {"LmRun", "LmRunOk", "Hidden", "Services", "ServicesOnce", "CuRun", "CuMenu"}}, // never Gone
        {0, 4, {"LmRun", "Hidden"}},
        {1, 0, {"LmRun", "LmRunOk", "Hidden", "Services", "ServicesOnce"}}, // the machine's policy key too
        {3, 4, {"LmRun"}},                                                  // Run (All Users) with Harmful
        {3, 1, {"LmRunOk"}},
        {4, 0, {}}, // Run (32-bit)
        {8, 0, {"Services"}},
        {9, 0, {"ServicesOnce"}},
        {10, 0, {"Hidden"}}, // Policies Run (All Users)
        {12, 0, {"CuRun", "CuMenu"}},
        {13, 0, {"CuRun"}},
        {19, 0, {}}, // Policies Run (Current User)
        {20, 0, {"CuMenu"}},
        {14, 4, {}}, // the only Harmful entry there is deleted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("node " + std::to_string(c.node) + " rating " + std::to_string(c.rating));
        EXPECT_EQ(Captions(RefreshRows(inventory, c.node, c.rating)), c.captions);
    }
}

TEST(ListRows, CellsShowTheRecordAsTheListDoes) {
    const Inventory inventory = MakeInventory();
    const auto rows = RefreshRows(inventory, 0, 0);
    EXPECT_EQ(rows[0].commandCell, "C:\\Old\\a.exe");
    EXPECT_EQ(rows[0].rating, "Hamful");
    EXPECT_EQ(rows[0].memory, "");
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(rows[1].memory, "2.3 MB");
    EXPECT_FALSE(rows[1].checked);
    EXPECT_EQ(rows[2].shownLocation, "All Users\\Registry\\Policies Run"); // the label finds the record
    EXPECT_EQ(rows[2].location, "Current User\\Registry\\Explorer Run");
    EXPECT_EQ(rows[3].commandCell, "[Invalid Path]C:\\Old\\a.exe");
    EXPECT_EQ(rows[3].memory, "Running");
}

TEST(ListRows, TheTreeHasTwentyOneNodesWithTheirLabels) {
    ASSERT_EQ(TreeNodes().size(), 21u);
    EXPECT_EQ(TreeNodes()[4].caption, "Run (32-bit)");
    EXPECT_EQ(TreeNodes()[6].caption, "RunOnce (32-bit)");
    EXPECT_EQ(TreeNodes()[8].caption, "Services");
    EXPECT_EQ(TreeNodes()[9].caption, "ServicesOnce");
    EXPECT_EQ(TreeNodes()[10].caption, "Policies Run");
    EXPECT_EQ(TreeFilter(0).size(), StartupLocations().size());
    EXPECT_THAT(TreeFilter(2),
                ElementsAre("All Users\\Registry\\Run", "Current User\\Registry\\Explorer Run",
                            "All Users\\Registry\\RunOnce", "All Users\\Registry\\RunOnce Ex",
                            "All Users\\Registry\\Run Services Once", "All Users\\Registry\\Run Services",
                            "All Users\\Registry\\Run (32-bit)", "All Users\\Registry\\RunOnce (32-bit)"));
    EXPECT_THAT(TreeFilter(4), ElementsAre("All Users\\Registry\\Run (32-bit)"));
    EXPECT_THAT(TreeFilter(15), ElementsAre("Current User\\Registry\\RunOnce"));
    EXPECT_THAT(TreeFilter(19), ElementsAre("All Users\\Registry\\Explorer Run"));
    EXPECT_TRUE(TreeFilter(21).empty());
}

TEST(ListSort, TextsCompareAsFoldedBytes) {
    EXPECT_LT(CompareCellTexts("abc", "ABD"), 0);
    EXPECT_EQ(CompareCellTexts("abc", "ABC"), 0);
    EXPECT_LT(CompareCellTexts("AB", "ABC"), 0);
    EXPECT_GT(CompareCellTexts("[Invalid Path]C:\\a", "C:\\a"), 0); // '[' sorts after letters
    EXPECT_GT(CompareCellTexts("[Invalid Path]C:\\a", "9.exe"), 0);
    EXPECT_GT(CompareCellTexts("\xC3\xA4", "z"), 0); // bytes above ASCII are not folded
    EXPECT_GT(CompareCellTexts("_x", "ax"), 0);      // "_" (0x5F) comes after the folded "A" (0x41)
}

TEST(ListSort, ColumnsSortBothWaysWithAMarkAndKeepTheirDirectionAcrossRefreshes) {
    std::vector<ListRow> rows(4);
    const char* ratings[] = {"User's Choice", "Hamful", "Unknown", "Required"};
    const char* memory[] = {"Running", "1.5 MB", "", "512 KB"};
    const char* locations[] = {"b", "a", "d", "c"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].caption = "row" + std::to_string(i);
        rows[i].rating = ratings[i];
        rows[i].memory = memory[i];
        rows[i].location = locations[i];
        rows[i].shownLocation = locations[i];
    }
    SortState sort;
    auto titles = sort.Click(2, rows, false);
    EXPECT_EQ(titles[2], "Location \u25B2");
    EXPECT_EQ(rows.front().location, "a");
    titles = sort.Click(2, rows, false);
    EXPECT_EQ(titles[2], "Location \u25BC");
    EXPECT_EQ(rows.front().location, "d");
    titles = sort.Click(3, rows, false);
    EXPECT_EQ(titles[2], "Location");
    EXPECT_EQ(titles[3], "Rating \u25B2");
    std::vector<std::string> order;
    for (const auto& row : rows) {
        order.push_back(row.rating);
    }
    EXPECT_THAT(order, ElementsAre("Hamful", "Required", "Unknown", "User's Choice"));
    titles = sort.Click(4, rows, true);
    EXPECT_EQ(titles[4], "Status \u25B2");
    order.clear();
    for (const auto& row : rows) {
        order.push_back(row.memory);
    }
    EXPECT_THAT(order, ElementsAre("", "1.5 MB", "512 KB", "Running"));
    // A refresh resets the titles but not the directions: Location was last descending.
    EXPECT_EQ(ColumnTitles(false)[2], "Location");
    titles = sort.Click(2, rows, false);
    EXPECT_EQ(titles[2], "Location \u25B2");
}

TEST(RatingColours, OnlyTheRatingCellIsTintedAndOnlyAnInvalidCommandIsRed) {
    ListRow valid;
    valid.rating = "Hamful";
    valid.commandCell = "C:\\a.exe";
    EXPECT_EQ(StyleOfCell(valid, 3).background, (Rgb{0xFF, 0xBC, 0xB6}));
    EXPECT_FALSE(StyleOfCell(valid, 1).text.has_value());
    EXPECT_FALSE(StyleOfCell(valid, 2).text.has_value());
    EXPECT_EQ(StyleOfCell(valid, 4).background, kWhite);
    ListRow invalid = valid;
    invalid.commandCell = "[Invalid Path]C:\\a.exe";
    invalid.rating = "Something else";
    EXPECT_EQ(StyleOfCell(invalid, 1).text, kInvalidCommandColour);
    EXPECT_EQ(StyleOfCell(invalid, 2).text, kBlack);
    EXPECT_FALSE(StyleOfCell(invalid, 3).background.has_value());
    const struct {
        Rating rating;
        std::uint32_t colourNumber; // 0x00BBGGRR as the window system numbers colours
    } numbers[] = {{Rating::Required, 11075495},
                   {Rating::UserChoice, 16708296},
                   {Rating::NotRequired, 10747898},
                   {Rating::Harmful, 11975935},
                   {Rating::Unknown, 16382712}};
    for (const auto& n : numbers) {
        const Rgb c = RatingColour(n.rating);
        EXPECT_EQ(static_cast<std::uint32_t>(c.red | (c.green << 8) | (c.blue << 16)), n.colourNumber);
    }
}

TEST(CommandAvailability, FollowsTheSelectionAndWhetherTheProgramRuns) {
    ListRow running;
    running.memory = "2 MB";
    ListRow idle;
    const auto none = AvailableCommands(nullptr, false);
    EXPECT_FALSE(none.edit);
    EXPECT_EQ(none.start, false);
    EXPECT_EQ(none.stop, false);
    const auto onRunning = AvailableCommands(&running, false);
    EXPECT_TRUE(onRunning.edit && onRunning.browse && onRunning.properties && onRunning.remove &&
                onRunning.search);
    EXPECT_EQ(onRunning.start, false);
    EXPECT_EQ(onRunning.stop, true);
    const auto onIdle = AvailableCommands(&idle, false);
    EXPECT_EQ(onIdle.start, true);
    EXPECT_EQ(onIdle.stop, false);
    const auto oldNt = AvailableCommands(&idle, true);
    EXPECT_TRUE(oldNt.edit);
    EXPECT_FALSE(oldNt.start.has_value()); // left as they are

    // A program file that is not there can be edited, deleted and searched for, but not started, nor its
    // folder opened nor its properties shown; on old NT too. Stop still follows the memory cell.
    ListRow gone;
    gone.pathValid = false;
    ListRow goneRunning = running;
    goneRunning.pathValid = false;
    for (const auto& [row, legacy, stop] : {std::tuple(&gone, false, std::optional(false)),
                                            std::tuple(&goneRunning, false, std::optional(true)),
                                            std::tuple(&gone, true, std::optional<bool>())}) {
        SCOPED_TRACE(::testing::Message() << "running " << !row->memory.empty() << ", old NT " << legacy);
        const auto a = AvailableCommands(row, legacy);
        EXPECT_TRUE(a.edit && a.remove && a.search);
        EXPECT_FALSE(a.browse || a.properties);
        EXPECT_EQ(a.start, false);
        EXPECT_EQ(a.stop, stop);
    }
}

} // namespace qb

namespace qb {

// A row stands for the first record in list order that is not deleted and shows its texts; the index made
// for a whole list answers as the walk of the inventory does.
namespace {
// A row as the list shows it, by the texts a record is found by.
ListRow RowOf(const char* caption, const char* commandCell, const char* location) {
    ListRow row;
    row.caption = caption;
    row.commandCell = commandCell;
    row.location = location;
    return row;
}
} // namespace

TEST(RowRecords, ARowFindsTheFirstLiveRecordWithItsTexts) {
    Inventory inventory;
    const auto add = [&](const char* name, const char* command, ItemState state) -> const StartupItem* {
        StartupItem& item = inventory.Append({});
        item.Name = name;
        item.Command = command;
        item.Location = "Current User\\Registry\\Run";
        item.State = state;
        return &item;
    };
    add("Twin", "C:\\a.exe", ItemState::Deleted);
    const StartupItem* twin = add("Twin", "C:\\a.exe", ItemState::Disabled);
    add("Twin", "C:\\a.exe", ItemState::Enabled);
    const StartupItem* other = add("Twin", "C:\\b.exe", ItemState::Enabled);
    const StartupItem* invalid = add("Lost", "C:\\gone.exe", ItemState::Enabled);
    add("Gone", "C:\\a.exe", ItemState::Deleted);
    const StartupItem* split = add("a1", "2:b", ItemState::Enabled);

    const struct {
        const char* what;
        ListRow row;
        const StartupItem* expected;
    } cases[] = {
        {"the first live one of equal records",
         RowOf("Twin", "C:\\a.exe", "Current User\\Registry\\Run"),
         twin},
        {"another command is another record", RowOf("Twin", "C:\\b.exe", "Current User\\Registry\\Run"), other},
        {"the invalid-path mark is not part of the command",
         RowOf("Lost", "[Invalid Path]C:\\gone.exe", "Current User\\Registry\\Run"),
         invalid},
        {"only deleted records: none", RowOf("Gone", "C:\\a.exe", "Current User\\Registry\\Run"), nullptr},
        {"another place: none", RowOf("Twin", "C:\\a.exe", "All Users\\Registry\\Run"), nullptr},
        {"texts run together differently: none", RowOf("a", "12:b", "Current User\\Registry\\Run"), nullptr},
        {"texts as they are", RowOf("a1", "2:b", "Current User\\Registry\\Run"), split},
    };
    const RowRecords index(inventory);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RecordOfRow(inventory, c.row), c.expected);
        EXPECT_EQ(index.Find(c.row), c.expected);
    }
}

} // namespace qb
