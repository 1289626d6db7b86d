// The main window's commands as a keyboard user, a careful user and a user without a desktop meet them:
// keys, the questions before work is thrown away, what could not be opened, the help and the version.
#include "app/qt_dialogs.h"
#include "app/t_dlg_backup.h"
#include "app/t_form_add.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "main_window_fixture.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

void FillMachine(test::SandboxRoot& root) {
    root.File("C:\\Apps\\agent.exe")
        .File("C:\\Apps\\tool.exe")
        .File(kTool + "\\infotpl.dat",
              "<html><body><p><!--name--></p><p><!--path--></p><p><!--locate--></p><p><!--rate--></p>"
              "<p><!--comment--></p><p><!--Memory--></p>"
              "<p><a href=\"https://search.example/?q=<!--title-->\">Search the web</a></p></body></html>")
        .File(kTool + "\\mess.htm", "<html><body>Welcome</body></html>")
        .Folder(kTool + "\\backup")
        .Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\agent.exe /q")
        .Value(HKCU, CV + "Run", "Tool", "C:\\Apps\\tool.exe")
        .Processes("900\ttool.exe\t3670016\t4194304\n");
}

// Answers the next modal box by pressing a key on it, as a user at the keyboard does.
void PressKeyOnNextBox(Qt::Key key, std::string* text) {
    QTimer::singleShot(0, [key, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no question was asked";
        *text = box->text().toStdString();
        QTest::keyClick(box, key);
    });
}

// Processes that run but whose memory this user may not read.
class UnreadableMemory : public Processes {
public:
    explicit UnreadableMemory(Processes& real) : real_(real) {}
    std::optional<std::vector<ProcessEntry>> List() override { return real_.List(); }
    bool HasMemoryCounters() override { return true; }
    std::optional<MemoryCounters> ReadMemory(std::uint32_t) override { return std::nullopt; }
    std::unique_ptr<RunningProcess> Open(std::uint32_t pid) override { return real_.Open(pid); }

private:
    Processes& real_;
};

} // namespace

TEST(MainFormQuestions, EnterOnTheRefreshAndCloseQuestionsKeepsTheChanges) {
    test::SandboxRoot root;
    FillMachine(root);
    QtDialogs dialogs(PathMapping{[](std::string_view) { return std::optional<std::string>(); },
                                  [](std::string_view) { return std::optional<std::string>(); }});
    test::MainWindow w(root.System(), &dialogs);
    dialogs.SetOwner(w.form.get());
    test::ClickCheckBox(w.List(), w.Row("Tool"));

    std::string asked;
    PressKeyOnNextBox(Qt::Key_Return, &asked);
    w.Press("ToolButtonRefresh");
    EXPECT_EQ(asked, kDiscardAndRefreshQuestion);
    EXPECT_EQ(w.Row("Tool").checkState(0), Qt::Unchecked);
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook *");

    PressKeyOnNextBox(Qt::Key_Enter, &asked);
    EXPECT_FALSE(w.form->close());
    EXPECT_EQ(asked, kDiscardAndExitQuestion);
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));

    PressKeyOnNextBox(Qt::Key_Escape, &asked);
    w.Press("ToolButtonRefresh");
    EXPECT_EQ(w.Row("Tool").checkState(0), Qt::Unchecked);
}

TEST(MainFormCommands, WhatCouldNotBeOpenedIsSaid) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    w.desktop.opens = false; // no file manager, browser or mail program

    w.SelectRow("Agent");
    w.Press("ButtonBrowse");
    w.Press("ButtonProperties");
    w.Choose("MenuSearch", "Agent");
    for (const char* picture : {"ImageDonate", "ImageTell"}) {
        auto* label = w.Find<QLabel>(picture);
        QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    }
    // The search link of the information page.
    auto* pane = w.Find<QTextBrowser>("CppWebBrowserInfo");
    const QTextCursor link = pane->document()->find(QStringLiteral("Search the web"));
    ASSERT_FALSE(link.isNull());
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, pane->cursorRect(link).center() - QPoint(20, 0));

    EXPECT_THAT(
        w.Messages(),
        ElementsAre(
            "Could not open the folder C:\\APPS\\. No program is set to open folders.",
            "Could not show the properties of C:\\APPS\\AGENT.EXE.",
            "Could not open the web page https://www.google.com/search?as_q=Agent&as_epq=AGENT%2EEXE. "
            "No program is set to open web pages.",
            "Could not open the web page https://quillbrook.org/donate. No program is set to open web "
            "pages.",
            "Could not open a new mail message. No mail program is set up.",
            "Could not open the link https://search.example/?q=Agent. No program is set to open web "
            "pages."));

    // View in the backup dialog, where no text viewer exists.
    TDlgBackup* dialog = w.form->BackupDialog();
    w.scripted.ChooseFile("C:\\Program Files\\Quillbrook\\backup\\mine.qbk");
    test::WhenShown(dialog, [&] {
        test::Press(dialog->findChild<QPushButton*>(QStringLiteral("SnButtonNew")));
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
        test::ClickRow(list, list->topLevelItem(0));
        test::Press(dialog->findChild<QPushButton*>(QStringLiteral("SnButtonView")));
    });
    w.Press("ToolButtonBackup");
    EXPECT_EQ(w.Messages().back(),
              "Could not open C:\\Program Files\\Quillbrook\\backup\\mine.qbk in a text viewer.");
}

TEST(MainFormCommands, HelpOpensTheToolsOwnHelpWindowWhereNothingShowsTheCompiledHelp) {
    test::SandboxRoot root;
    FillMachine(root); // no Quillbrook.chm, and no viewer for one
    test::MainWindow w(root.System());
    w.desktop.opens = false;
    w.Press("ToolButtonHelp");
    auto* help = w.form->findChild<QDialog*>(QStringLiteral("FormHelp"));
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    auto* browser = help->findChild<QTextBrowser*>(QStringLiteral("BrowserHelp"));
    EXPECT_EQ(browser->documentTitle(), "Quillbrook Help");
    EXPECT_TRUE(w.Messages().empty());
}

TEST(MainFormCommands, ARunningProgramWhoseMemoryCannotBeReadIsCalledRunning) {
    test::SandboxRoot root;
    FillMachine(root);
    UnreadableMemory processes(root.Services().processes);
    test::MainWindow w(root.System(), nullptr, &processes);
    EXPECT_EQ(w.Row("Tool").text(4), "Running");
    w.SelectRow("Tool");
    EXPECT_EQ(w.PaneText(),
              "Tool\nC:\\Apps\\tool.exe\nCurrent User\\Registry\\Run\nUnknown\nUnknown Application\n"
              "Running (its memory use cannot be read)\nSearch the web");
    EXPECT_TRUE(w.Find<QPushButton>("SnButtonClose")->isEnabled());
}

TEST(MainFormKeyboard, KeysDoWhatTheButtonsDo) {
    test::SandboxRoot root;
    FillMachine(root);
    root.File(kTool + "\\Quillbrook.chm");
    test::MainWindow w(root.System());
    TFormAdd* editor = w.form->EntryEditor();
    std::vector<std::string> titles;
    const auto noteTitle = [&] { titles.push_back(editor->windowTitle().toStdString()); };

    w.SelectRow("Agent");
    test::WhenShown(editor, noteTitle);
    QTest::keyClick(w.List(), Qt::Key_Return);
    w.Activate(); // the keys are the window's shortcuts: they need it active, as after the editor closes
    test::WhenShown(editor, noteTitle);
    QTest::keyClick(w.List(), Qt::Key_Insert);
    w.Activate();
    EXPECT_THAT(titles, ElementsAre("Editing a startup program", "Adding a startup program"));

    QTest::keyClick(w.List(), Qt::Key_Delete);
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("~Agent|Delete", "Tool|"));

    // Shift+F10 opens the row menu.
    w.SelectRow("Tool");
    QTest::keyClick(w.List(), Qt::Key_F10, Qt::ShiftModifier);
    auto* menu = w.Find<QMenu>("SnPopupMenuStartup");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    // Alt+D is the Delete button's mnemonic.
    w.Activate();
    EXPECT_TRUE(w.Find<QPushButton>("ButtonDelete")->isEnabled());
    QTest::keyClick(w.List(), Qt::Key_D, Qt::AltModifier);
    // A mnemonic presses its button as a click does: down, and up a moment later.
    const std::vector<std::string> bothDeleted{"~Agent|Delete", "~Tool|Delete"};
    for (int i = 0; i < 50 && w.CaptionsAndChanges() != bothDeleted; ++i) {
        QTest::qWait(20);
    }
    EXPECT_EQ(w.CaptionsAndChanges(), bothDeleted);
    // Ctrl+Z takes the selected row's delete back.
    w.SelectRow("Tool");
    QTest::keyClick(w.List(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("~Agent|Delete", "Tool|"));

    // F5 refreshes (asking first, as the button does), F1 opens the help.
    w.scripted.Answer(DialogResult::Yes);
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Tool"));
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndRefreshQuestion)));
    QTest::keyClick(w.form.get(), Qt::Key_F1);
    ASSERT_FALSE(w.desktop.opened.empty());
    EXPECT_EQ(w.desktop.opened.back().substr(w.desktop.opened.back().size() - 14), "Quillbrook.chm");
}

TEST(MainFormKeyboard, EveryControlHasAName) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    std::vector<std::string> unnamed;
    for (QWidget* widget : w.form->findChildren<QWidget*>()) {
        const bool control = widget->focusPolicy() != Qt::NoFocus || qobject_cast<QLabel*>(widget) != nullptr;
        if (!control || !widget->isVisibleTo(w.form.get()) ||
            widget->objectName().startsWith(QLatin1String("qt_")) || widget->objectName().isEmpty()) {
            continue;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        if (accessible == nullptr || accessible->text(QAccessible::Name).trimmed().isEmpty()) {
            unnamed.push_back(widget->objectName().toStdString());
        }
    }
    EXPECT_TRUE(unnamed.empty()) << ::testing::PrintToString(unnamed);
    // The side buttons read out their captions, without the mnemonic's marker.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.Find<QPushButton>("ButtonProperties"))
                  ->text(QAccessible::Name),
              "Properties");
}

} // namespace qb

namespace qb {

TEST(MainFormCommands, FileDialogsStartInTheBackupFolderAndOnTheSystemDrive) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    TDlgBackup* backup = w.form->BackupDialog();
    test::WhenShown(backup,
                    [&] { test::Press(backup->findChild<QPushButton*>(QStringLiteral("SnButtonNew"))); });
    w.Press("ToolButtonBackup");
    TFormAdd* editor = w.form->EntryEditor();
    test::WhenShown(editor,
                    [&] { test::Press(editor->findChild<QPushButton*>(QStringLiteral("ButtonFind"))); });
    w.Press("ButtonAdd");
    std::vector<std::string> folders;
    for (const auto& dialog : w.scripted.FileDialogs()) {
        folders.push_back(dialog.initialDirectory);
    }
    EXPECT_THAT(folders, ElementsAre(kTool + "\\backup", "C:\\"));
}

// The editor changes only what the user changed: an entry's name that ends in a blank stays so when only
// the command is new, and a command with blanks around it keeps them when only the name is new.
TEST(MainFormCommands, TheEditorKeepsTheTextsTheUserLeftAlone) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Value(HKCU, CV + "Run", "Trail ", "C:\\Apps\\tool.exe")
        .Value(HKCU, CV + "Run", "Spaced", " C:\\Apps\\tool.exe /x ");
    test::MainWindow w(root.System());
    TFormAdd* editor = w.form->EntryEditor();
    const auto edit = [&](const std::string& row, const char* box, const QString& text) {
        w.SelectRow(row);
        test::WhenShown(editor, [&] {
            editor->findChild<QLineEdit*>(QLatin1String(box))->setText(text);
            test::Press(editor->findChild<QPushButton*>(QStringLiteral("ButtonOK")));
        });
        w.Press("ButtonEdit");
    };
    edit("Trail ", "EditPath", QStringLiteral("C:\\Apps\\agent.exe"));
    edit("Spaced", "EditName", QStringLiteral(" Other "));
    std::vector<std::string> edited;
    for (const auto& item : w.form->Items().Items) {
        if (item->Edited) {
            edited.push_back("[" + item->Name.str() + "] [" + item->Command.str() + "]");
        }
    }
    EXPECT_THAT(edited, ElementsAre("[Trail ] [C:\\Apps\\agent.exe]", "[Other] [ C:\\Apps\\tool.exe /x ]"));
}

TEST(MainFormCommands, AboutShowsTheVersion) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    w.SelectRow("Agent");
    w.Press("ToolButtonAbout");
    EXPECT_THAT(w.Messages(), ElementsAre(std::string("Quillbrook ") + QB_VERSION +
                                          "\n\nShows and changes what Windows starts automatically: the Run "
                                          "keys of the registry and the Startup folders, for you and for all "
                                          "users."));
    EXPECT_EQ(w.PaneText(), "Welcome");
}

TEST(MainFormCommands, TheWelcomePageAdvisesCheckingARedEntryBeforeDeletingIt) {
    test::DemoMachine demo; // the shipped start page
    test::MainWindow w(demo.System());
    const QStringList paragraphs = w.PaneText().split(QLatin1Char('\n'));
    const auto red = std::find_if(paragraphs.begin(), paragraphs.end(), [](const QString& p) {
        return p.startsWith(QLatin1String("A command shown in"));
    });
    ASSERT_NE(red, paragraphs.end());
    EXPECT_EQ(red->simplified(),
              "A command shown in red names a program file that was not found where the "
              "command says. The program may have been removed, or it may sit somewhere "
              "Quillbrook does not look. Check the entry (its folder, a web search) before "
              "you delete it.");
}

} // namespace qb

namespace qb {

// Every file of the startup folder is in the list; one that is no shortcut says so on its page and is not
// opened in the editor, whose fields it has nothing for; it can be unticked like any other entry.
TEST(MainFormCommands, AFileOfTheStartupFolderIsListedAndNotEdited) {
    const std::string startup =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    test::SandboxRoot root;
    FillMachine(root);
    root.File(startup + "\\boot.bat", "@echo off\r\n").File(startup + "\\Broken.lnk", "L\0\0\0");
    test::MainWindow w(root.System());
    w.SelectRow("Broken");
    EXPECT_TRUE(w.PaneText().contains(QStringLiteral("This shortcut cannot be read:"))) << w.PaneText().toStdString();
    w.SelectRow("boot.bat");
    EXPECT_TRUE(w.PaneText().contains(QStringLiteral("Not a shortcut: Windows opens this file as it is at logon.")));
    w.Press("ButtonEdit");
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kOnlyShortcutsEditedMessage)));
    EXPECT_FALSE(w.form->EntryEditor()->isVisible());
    EXPECT_EQ(w.Row("boot.bat").text(1).toStdString(), startup + "\\boot.bat");
}

} // namespace qb
