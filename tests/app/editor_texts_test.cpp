#include "app/t_dlg_apply.h"
#include "app/t_form_add.h"
#include "app/t_main_form.h"
#include "main_window_fixture.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// What the window shows of an entry's name and command, in the list, the page, the editor and the apply
// dialog, and what an edit writes back: the unnamed value, a command longer than a record holds, and a
// shortcut's arguments.

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

const std::string kPageEnd = "\nUnknown\nUnknown Application\nN/A (This program is not running)";
const std::string kNotes = "C:\\Program Files\\Notes\\notes.exe";
// 458 bytes: Windows runs it whole, a record holds 259 of them.
const std::string kLongCommand = "C:\\Apps\\app.exe /data " + std::string(436, 'a');

// The page shows the name, the command, the place, the rating, the description and the memory, one a line.
void FillMachine(test::SandboxRoot& root) {
    root.File(kTool + "\\infotpl.dat",
              "<html><body><p><!--name--></p><p><!--path--></p><p><!--locate--></p><p><!--rate--></p>"
              "<p><!--comment--></p><p><!--Memory--></p></body></html>")
        .File(kTool + "\\mess.htm", "<html><body>Start</body></html>")
        .Folder(kTool + "\\backup")
        .File("C:\\Apps\\app.exe")
        .File(kNotes)
        .Value(RegistryRoot::CurrentUser, CV + "Explorer\\Shell Folders", "Startup", kUserStartup);
}

std::optional<RegistryValue> Value(test::SandboxRoot& root, const std::string& name) {
    auto opened = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, CV + "Run");
    return opened ? opened->ReadValue(name) : std::nullopt;
}

QLineEdit* Box(TFormAdd* editor, const char* name) {
    return editor->findChild<QLineEdit*>(QLatin1String(name));
}

// Replaces a box's text as a person does: select all, type.
void TypeInto(QLineEdit* box, const std::string& text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::fromStdString(text));
}

using test::PressIn;

// Opens the editor on the row with Enter, as the user does.
void EditWithEnter(test::MainWindow& w, const std::string& caption, std::function<void(TFormAdd*)> act) {
    w.Activate(); // the offscreen platform leaves a closed dialog's window active
    w.SelectRow(caption);
    test::WhenShown<TFormAdd>(w.form->EntryEditor(), std::move(act));
    QTest::keyClick(w.List(), Qt::Key_Return);
}

// Applies, reading the apply dialog's rows as "Changes|Name|Command" first.
std::vector<std::string> Apply(test::MainWindow& w) {
    std::vector<std::string> rows;
    test::WhenShown<TDlgApply>(w.form->ApplyDialog(), [&rows](TDlgApply* d) {
        auto* list = d->findChild<QTreeWidget*>(QStringLiteral("SnListViewChanges"));
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = list->topLevelItem(i);
            rows.push_back((row->text(0) + "|" + row->text(1) + "|" + row->text(2)).toStdString());
        }
        PressIn(d, "SnButtonOK");
    });
    w.Press("ToolButtonApply");
    return rows;
}

} // namespace

TEST(EditorTexts, TheUnnamedValueIsEditedAsDefaultAndStaysUnnamed) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Value(RegistryRoot::CurrentUser, CV + "Run", "", "C:\\Apps\\app.exe");
    test::MainWindow w(root.System());
    std::string shownName;
    EditWithEnter(w, "(Default)", [&shownName](TFormAdd* e) {
        shownName = e->NameText();
        TypeInto(Box(e, "EditPath"), "C:\\Apps\\app.exe /min");
        PressIn(e, "ButtonOK");
    });
    EXPECT_EQ(shownName, "(Default)");
    EXPECT_THAT(w.Messages(), ElementsAre()); // taken: no "Please enter a program name."
    EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("(Default)|C:\\Apps\\app.exe /min"));
    EXPECT_THAT(Apply(w), ElementsAre("Edit|(Default)|C:\\Apps\\app.exe /min"));
    EXPECT_EQ(Value(root, ""), RegistryValue::String("C:\\Apps\\app.exe /min"));
    EXPECT_EQ(Value(root, "(Default)"), std::nullopt);
}

TEST(EditorTexts, ALongCommandIsShownWholeAndNeverWrittenBackCut) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Value(RegistryRoot::CurrentUser, CV + "Run", "Long", kLongCommand);
    test::MainWindow w(root.System());
    EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("Long|" + kLongCommand));
    w.SelectRow("Long");
    EXPECT_EQ(w.PaneText().toStdString(), "Long\n" + kLongCommand + "\n" + kCuRun + kPageEnd);

    // A command changed to more than a record holds is refused, and the editor stays open.
    std::string shownCommand;
    EditWithEnter(w, "Long", [&shownCommand](TFormAdd* e) {
        shownCommand = e->CommandText();
        QLineEdit* path = Box(e, "EditPath");
        path->setFocus();
        QTest::keyClick(path, Qt::Key_End);
        QTest::keyClick(path, Qt::Key_B);
        PressIn(e, "ButtonOK");
        EXPECT_TRUE(e->isVisible());
        PressIn(e, "ButtonCancel");
    });
    EXPECT_EQ(shownCommand, kLongCommand);
    EXPECT_THAT(w.Messages(),
                ElementsAre("The command is longer than the 259 bytes an entry holds, and would be "
                            "cut. Shorten it, or leave the command as it was."));

    // A new name with the command left alone: the value moves with its whole command.
    EditWithEnter(w, "Long", [](TFormAdd* e) {
        TypeInto(Box(e, "EditName"), "Longer");
        PressIn(e, "ButtonOK");
    });
    EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("Longer|" + kLongCommand));
    Apply(w);
    EXPECT_EQ(Value(root, "Longer"), RegistryValue::String(kLongCommand));
    EXPECT_EQ(Value(root, "Long"), std::nullopt);
}

TEST(EditorTexts, AShortcutShowsTheArgumentsWindowsPasses) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Shortcut(kUserStartup + "\\Notes.lnk", kNotes, "/quicknote");
    test::MainWindow w(root.System());
    const std::string runs = "\"" + kNotes + "\" /quicknote";
    EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("Notes|" + runs));
    w.SelectRow("Notes");
    EXPECT_EQ(w.PaneText().toStdString(), "Notes\n" + runs + "\nCurrent User\\Startup Menu" + kPageEnd);

    // The check box finds the row's entry by what the row shows.
    test::ClickCheckBox(w.List(), w.Row("Notes"));
    EXPECT_EQ(w.Row("Notes").checkState(0), Qt::Unchecked);
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    test::ClickCheckBox(w.List(), w.Row("Notes"));
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Enabled);

    std::string shownCommand;
    EditWithEnter(w, "Notes", [&shownCommand](TFormAdd* e) { shownCommand = e->CommandText(); });
    EXPECT_EQ(shownCommand, runs);
}

// A shortcut's command edited: what is written holds the target and the arguments of the new text, also
// when it has none.
TEST(EditorTexts, AShortcutsEditedCommandIsSplitIntoTargetAndArguments) {
    const struct {
        std::string typed;
        std::string listed;
        std::string target;
        std::string arguments;
    } cases[] = {
        {"\"" + kNotes + "\" /tray /silent", "\"" + kNotes + "\" /tray /silent", kNotes, "/tray /silent"},
        {"\"" + kNotes + "\"", kNotes, kNotes, ""},
        {"C:\\Apps\\app.exe -x", "C:\\Apps\\app.exe -x", "C:\\Apps\\app.exe", "-x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        test::SandboxRoot root;
        FillMachine(root);
        root.Shortcut(kUserStartup + "\\Notes.lnk", kNotes, "/quicknote");
        test::MainWindow w(root.System());
        EditWithEnter(w, "Notes", [&c](TFormAdd* e) {
            TypeInto(Box(e, "EditPath"), c.typed);
            PressIn(e, "ButtonOK");
        });
        EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("Notes|" + c.listed));
        Apply(w);
        const auto link = root.Services().shell.LoadShortcut(kUserStartup + "\\Notes.lnk");
        ASSERT_TRUE(link.has_value());
        EXPECT_EQ((std::pair{link->target, link->arguments}), (std::pair{c.target, c.arguments}));
    }
}

TEST(EditorTexts, AShortcutRenamedKeepsItsTargetAndArguments) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Shortcut(kUserStartup + "\\Notes.lnk", kNotes, "/quicknote");
    test::MainWindow w(root.System());
    EditWithEnter(w, "Notes", [](TFormAdd* e) {
        TypeInto(Box(e, "EditName"), "Jotter");
        PressIn(e, "ButtonOK");
    });
    EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("Jotter|\"" + kNotes + "\" /quicknote"));
    Apply(w);
    const auto link = root.Services().shell.LoadShortcut(kUserStartup + "\\Jotter.lnk");
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, kNotes);
    EXPECT_EQ(link->arguments, "/quicknote");
}

} // namespace qb
