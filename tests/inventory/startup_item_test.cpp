#include "inventory/startup_item.h"

#include <gtest/gtest.h>

namespace qb {

TEST(StartupItem, ANewRecordHoldsNoProcessDataAndNoEditMark) {
    const StartupItem item;
    EXPECT_EQ(item.MemoryKB, 0);
    EXPECT_EQ(item.PeakMemoryKB, 0);
    EXPECT_EQ(item.ProcessHandle, nullptr);
    EXPECT_FALSE(item.Edited);
    EXPECT_EQ(static_cast<int>(ItemState::Deleted), 0);
    EXPECT_EQ(static_cast<int>(ItemState::Enabled), 1);
    EXPECT_EQ(static_cast<int>(ItemState::Disabled), 2);
}

TEST(StartupItem, TextFieldsNeverHoldMoreThan259Bytes) {
    StartupItem item;
    item.Name = std::string(300, 'n');
    item.Command = "C:\\" + std::string(255, 'x') + "\xC3\xBC.exe"; // ü straddles the limit
    item.Location = "All Users\\Registry\\Run";
    EXPECT_EQ(item.Name.size(), 259u);
    EXPECT_EQ(item.Command.size(), 258u); // cut before the character that would not fit
    EXPECT_EQ(item.Location, "All Users\\Registry\\Run");
}

TEST(Inventory, LoadedItemsReferToTheSameRecords) {
    Inventory inventory;
    inventory.Append({}).Name = "Alpha";
    inventory.MarkLoaded();
    inventory.Append({}).Name = "Added later";
    ASSERT_EQ(inventory.LoadedItems.size(), 1u);
    inventory.Items[0]->State = ItemState::Disabled;
    EXPECT_EQ(inventory.LoadedItems[0]->State, ItemState::Disabled);
    EXPECT_EQ(inventory.LoadedItems[0], inventory.Items[0].get());
}

TEST(Inventory, AnOriginalIsKeptOncePerEditedEntryWithoutProcessData) {
    Inventory inventory;
    StartupItem& item = inventory.Append({});
    item.Name = "Tool";
    item.Command = "C:\\tool.exe";
    item.Location = "Current User\\Registry\\Run";
    item.LoadedState = ItemState::Enabled;
    item.Arguments = "--tray";
    item.MemoryKB = 1234;
    item.Edited = false;

    inventory.RememberOriginal(item);
    item.Edited = true;
    item.Command = "C:\\other.exe";
    inventory.RememberOriginal(item); // already edited: no second copy

    ASSERT_EQ(inventory.EditedOriginals.size(), 1u);
    const StartupItem& original = *inventory.EditedOriginals[0];
    EXPECT_EQ(original.Command, "C:\\tool.exe");
    EXPECT_EQ(original.Arguments, "--tray");
    EXPECT_EQ(original.LoadedState, ItemState::Enabled);
    EXPECT_EQ(original.MemoryKB, 0);
    EXPECT_FALSE(original.Edited);

    inventory.Clear();
    EXPECT_TRUE(inventory.Items.empty());
    EXPECT_TRUE(inventory.LoadedItems.empty());
    EXPECT_TRUE(inventory.EditedOriginals.empty());
}

} // namespace qb
