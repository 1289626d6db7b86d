#include "app/t_dlg_backup.h"
#include "app/t_main_form.h"
#include "backup/backup_file.h"
#include "changes/pending_changes.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"
#include "window_driver.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace {

using namespace test::paths;

struct Window {
    Window() {
        root.File(kTool + "\\st.dat", "[Bad]\r\nConfirmed=X\r\n")
            .File(kTool + "\\infotpl.dat", "<html><body><!--name--></body></html>")
            .File(kTool + "\\mess.htm", "<html><body>Start</body></html>")
            .File("C:\\Apps\\good.exe")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Good", "C:\\Apps\\good.exe")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Bad", "C:\\Apps\\good.exe /evil")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Gone", "C:\\Gone\\gone.exe");
    }
    void Open() {
        root.System().SetDialogs(dialogs);
        const sandbox::PathMap& map = root.System().Paths();
        PathMapping paths{[&map](std::string_view w) -> std::optional<std::string> {
                              auto h = map.ToHost(w);
                              return h ? std::optional(h->string()) : std::nullopt;
                          },
                          [&map](std::string_view l) { return map.ToWindows(l); }};
        PlatformServices s = root.Services();
        form =
            std::make_unique<TMainForm>(PlatformServices{s.registry, s.profiles, s.files, s.shell,
                                                         s.processes, s.system, s.dialogs, s.browser, clock},
                                        paths);
        form->show();
    }
    QTreeWidget* List() { return form->findChild<QTreeWidget*>(QStringLiteral("ListViewFix")); }
    QTreeWidgetItem* Row(const std::string& caption) {
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            if (List()->topLevelItem(i)->text(0).toStdString() == caption) {
                return List()->topLevelItem(i);
            }
        }
        return nullptr;
    }
    std::vector<std::string> Captions() {
        std::vector<std::string> out;
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            out.push_back(List()->topLevelItem(i)->text(0).toStdString());
        }
        return out;
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& m : dialogs.Messages()) {
            out.push_back(m.text);
        }
        return out;
    }
    QPushButton* Button(const char* name) { return form->findChild<QPushButton*>(QLatin1String(name)); }
    QAbstractButton* Tool(const char* name) { return form->findChild<QAbstractButton*>(QLatin1String(name)); }
    // Chooses an item of the list's menu, opened by a right click on the row (or the list's empty part).
    void Choose(const char* action, const std::string& row = {}) {
        test::RightClick(List(), row.empty() ? nullptr : Row(row));
        test::ChooseMenuItem(form->findChild<QMenu*>(QStringLiteral("SnPopupMenuStartup")), action);
    }

    test::SandboxRoot root;
    test::ScriptedDialogs dialogs;
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST(MainFormChanges, TheCheckBoxMarksTheRecordAndClosingAsksFirst) {
    Window w;
    w.Open();
    test::ClickCheckBox(w.List(), w.Row("Good"));
    EXPECT_EQ(w.Row("Good")->checkState(0), Qt::Unchecked);
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));

    w.dialogs.Answer(DialogResult::No);
    EXPECT_FALSE(w.form->close()); // refused: the changes stay
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndExitQuestion)));

    test::PressSpaceOn(w.List(), w.Row("Good")); // toggled back: nothing pending
    EXPECT_EQ(w.Row("Good")->checkState(0), Qt::Checked);
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
    EXPECT_TRUE(w.form->close());
    EXPECT_EQ(w.dialogs.Messages().size(), 1u); // no second question
}

TEST(MainFormChanges, RefreshAsksBeforeItDropsChanges) {
    Window w;
    w.Open();
    test::ClickCheckBox(w.List(), w.Row("Good"));
    w.dialogs.Answer(DialogResult::No);
    test::Press(w.Tool("ToolButtonRefresh"));
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    EXPECT_EQ(w.Row("Good")->checkState(0), Qt::Unchecked);
    w.dialogs.Answer(DialogResult::Yes);
    test::Press(w.Tool("ToolButtonRefresh"));
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Enabled);
    EXPECT_EQ(w.Row("Good")->checkState(0), Qt::Checked);
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndRefreshQuestion),
                                          std::string(kDiscardAndRefreshQuestion)));
}

TEST(MainFormChanges, DeletingARowRemovesOnlyThatRow) {
    Window w;
    w.Open();
    EXPECT_FALSE(w.Button("ButtonDelete")->isEnabled()); // nothing selected
    test::ClickRow(w.List(), w.Row("Gone"));             // its cell reads "[Invalid Path]C:\Gone\gone.exe"
    test::Press(w.Button("ButtonDelete"));
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Bad"));
    EXPECT_EQ(w.form->Items().Items[2]->State, ItemState::Deleted);
    test::ClickRow(w.List(), w.Row("Bad"));
    w.Choose("MenuDelete", "Bad");
    EXPECT_THAT(w.Captions(), ElementsAre("Good"));
    EXPECT_EQ(w.form->Items().Items[1]->State, ItemState::Deleted);
    EXPECT_TRUE(w.Messages().empty());
}

TEST(MainFormChanges, BulkDeletesShowEverythingOrSayThereWasNothing) {
    Window w;
    w.Open();
    w.Choose("MenuDeleteDisabled");
    EXPECT_THAT(w.Messages(), ElementsAre("No disabled startup item is found."));
    w.Choose("MenuDeleteHarmful", "Good");
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Gone"));
    EXPECT_EQ(w.form->SelectedNodePosition(), 0);
    w.Choose("MenuDeleteHarmful"); // the deleted record still counts: no message, the list is rebuilt
    w.Choose("MenuDeleteInvaild");
    EXPECT_THAT(w.Captions(), ElementsAre("Good"));
    EXPECT_EQ(w.Messages().size(), 1u);
}

TEST(MainFormChanges, ABackupLoadsAsPendingChanges) {
    Window w;
    w.Open();
    // Saved with New Backup; then another program removes "Bad" and the list is refreshed.
    TDlgBackup* dialog = w.form->BackupDialog();
    const auto press = [dialog](const char* name) {
        test::Press(dialog->findChild<QPushButton*>(QLatin1String(name)));
    };
    w.dialogs.ChooseFile("C:\\saved.qbk");
    QTimer::singleShot(0, dialog, [&] {
        press("SnButtonNew");
        press("ButtonClose");
    });
    test::Press(w.Tool("ToolButtonBackup"));
    w.root.Services()
        .registry.OpenForWriting(RegistryRoot::CurrentUser, CV + "Run", false)
        ->DeleteValue("Bad");
    test::Press(w.Tool("ToolButtonRefresh"));
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Gone"));

    // Load Setting closes the dialog and the window shows the backup's setting as changes to apply.
    QTimer::singleShot(0, dialog, [&] {
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
        test::ClickRow(list, list->topLevelItem(0));
        press("SnButtonLoad");
    });
    test::Press(w.Tool("ToolButtonBackup"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_THAT(w.Captions(), UnorderedElementsAre("Good", "Gone", "Bad"));
    EXPECT_TRUE(w.Row("Bad")->font(0).bold()); // to be added again
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook *");
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));
}

TEST(BackupDialog, ListsCreatesLoadsAndDeletesBackups) {
    Window w;
    w.Open();
    TDlgBackup* dialog = w.form->BackupDialog();
    ASSERT_NE(dialog, nullptr);
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
    const auto press = [&](const char* name) {
        test::Press(dialog->findChild<QPushButton*>(QLatin1String(name)));
    };
    const auto times = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            out.push_back(list->topLevelItem(i)->text(1).toStdString() + "|" +
                          list->topLevelItem(i)->text(2).toStdString());
        }
        return out;
    };
    // Runs `act` in the dialog the Backup button opens, then closes it with its Close button.
    const auto inDialog = [&](std::function<void()> act) {
        QTimer::singleShot(0, dialog, [&, act] {
            act();
            if (dialog->isVisible()) {
                press("ButtonClose");
            }
        });
        test::Press(w.Tool("ToolButtonBackup"));
    };

    inDialog([&] {
        EXPECT_EQ(dialog->windowTitle(), "Backup & Restore");
        EXPECT_TRUE(times().empty());
        w.dialogs.ChooseFile("C:\\later");
        press("SnButtonNew");
        w.clock.time.hour = 9; // an earlier time, written later
        w.dialogs.ChooseFile("C:\\earlier.qbk");
        press("SnButtonNew");
        press("SnButtonNew"); // cancelled: nothing written, the list still rebuilt
        EXPECT_EQ(times().size(), 2u);
    });
    EXPECT_EQ(w.dialogs.FileDialogs().front().filter, "Quillbrook Backup Files (*.qbk)|*.QBK");

    inDialog([&] { // opening sorts by time
        EXPECT_THAT(times(), ElementsAre("C:\\earlier.qbk|3", "C:\\later.qbk|3"));
        press("SnButtonLoad");
        press("SnButtonView");
        test::ClickRow(list, list->topLevelItem(0));
        std::filesystem::remove(w.root.Host("C:\\earlier.qbk"));
        press("SnButtonLoad");
        press("SnButtonView");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->ChosenFile().empty());
        EXPECT_THAT(w.Messages(), ElementsAre("Please select an item.", "Please select a file.",
                                              "Backup file not exist.", "Backup file not exist."));

        test::ClickRow(list, list->topLevelItem(0));
        press("SnButtonDelete"); // its file is gone already; the entry goes anyway
        EXPECT_THAT(times(), ElementsAre("C:\\later.qbk|3"));
        w.dialogs.Answer(DialogResult::No);
        press("SnButtonDeleteAll");
        EXPECT_EQ(times().size(), 1u);
        w.dialogs.Answer(DialogResult::Yes);
        press("SnButtonDeleteAll");
        EXPECT_TRUE(times().empty());
    });
    EXPECT_TRUE(dialog->ChosenFile().empty()); // Close loads nothing
    EXPECT_FALSE(w.root.Services().files.FileExists("C:\\later.qbk"));
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
}

} // namespace qb
