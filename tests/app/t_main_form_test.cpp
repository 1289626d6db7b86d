#include "app/t_main_form.h"
#include "inventory/process_scan.h"
#include "main_window_fixture.h"
#include "platform/sandbox/embedded_files.h"
#include "support/paths.h"
#include "support/process_guard.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

// A machine with one entry in most places.
void FillMachine(test::SandboxRoot& root) {
    root.File("C:\\Apps\\agent.exe")
        .File("C:\\Apps\\tool.exe")
        .File("C:\\Apps\\runner.exe")
        .File("C:\\Program Files\\Quillbrook\\infotpl.dat",
              "<html><body><!--name--> <!--Memory--></body></html>")
        .File("C:\\Program Files\\Quillbrook\\mess.htm", "<html><body>Start</body></html>")
        .Value(HKLM, CV + "Run", "Agent", "C:\\Apps\\agent.exe /q")
        .Value(HKLM, CV + "Run", "Broken", "C:\\Gone\\broken.exe")
        .Value(HKLM, CV + "RunServices", "Service", "C:\\Apps\\tool.exe")
        .Value(HKCU, CV + "Run", "Tool", "C:\\Apps\\runner.exe")
        .Processes("900\trunner.exe\t3670016\t4194304\n");
}

} // namespace

// Every place the tool loads has a node, and the policy keys are named for the hive they are in.
TEST(TMainForm, EveryLoadedPlaceHasANodeThatListsItsEntries) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Value(HKLM, CV + "Policies\\Explorer\\Run", "Hidden", "C:\\Apps\\tool.exe")
        .Value(HKCU, CV + "Policies\\Explorer\\Run", "UserPolicy", "C:\\Apps\\agent.exe")
        .Value(HKCU, CV + "RunServices", "UserService", "C:\\Apps\\agent.exe")
        .Value(HKCU, CV + "RunServicesOnce", "UserServiceOnce", "C:\\Apps\\agent.exe")
        .Value(HKCU, CV + "RunOnceEx", "UserOnceEx", "C:\\Apps\\agent.exe");
    test::MainWindow w(root.System());
    const auto rows = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < w.RowCount(); ++i) {
            out.push_back(w.RowAt(i).text(0).toStdString() + " @ " + w.RowAt(i).text(2).toStdString());
        }
        return out;
    };
    using V = std::vector<std::string>;
    const struct {
        const char* node;
        int occurrence;
        V listed;
    } cases[] = {
        {"Policies Run", 0, {"Hidden @ All Users\\Registry\\Policies Run"}},
        {"Policies Run", 1, {"UserPolicy @ Current User\\Registry\\Policies Run"}},
        {"Services", 1, {"UserService @ Current User\\Registry\\Run Services"}},
        {"ServicesOnce", 1, {"UserServiceOnce @ Current User\\Registry\\Run Services Once"}},
        {"RunOnceEx", 1, {"UserOnceEx @ Current User\\Registry\\RunOnce Ex"}},
        {"Registry",
         1,
         {"Tool @ Current User\\Registry\\Run", "UserPolicy @ Current User\\Registry\\Policies Run",
          "UserServiceOnce @ Current User\\Registry\\Run Services Once",
          "UserService @ Current User\\Registry\\Run Services",
          "UserOnceEx @ Current User\\Registry\\RunOnce Ex"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.node) + " " + std::to_string(c.occurrence));
        w.ClickNode(c.node, c.occurrence);
        EXPECT_EQ(rows(), c.listed);
    }
    w.ClickNode("All Programs");
    EXPECT_EQ(w.RowCount(), 9);
    EXPECT_EQ(w.StatusText(), "9 of 9 entries shown|");
}

// The demo's RunOnceEx holds a titled section of one command, and the user's keeps one more section and a
// disabled one: a click on each RunOnceEx node shows the sections' commands, named for their sections, and
// neither a title nor the key's settings.
TEST(TMainForm, TheRunOnceExNodesListTheCommandsOfTheirSections) {
    test::DemoMachine demo;
    Registry& registry = demo.System().Services().registry;
    const auto write = [&](const std::string& key, const std::string& name, const std::string& text) {
        const auto opened = registry.OpenForWriting(HKCU, key, true);
        ASSERT_TRUE(opened);
        opened->WriteString(name, text);
    };
    write(CV + "RunOnceEx", "Title", "Your setup");
    write(CV + "RunOnceEx\\Fonts", "", "Installing fonts");
    write(CV + "RunOnceEx\\Fonts", "Serif", "||\"C:\\Program Files\\Skyglass\\skyglass.exe\" /fonts");
    write(CV + "RunOnceEx\\Fonts", "Helper", "C:\\Gone\\fonthelp.dll|Install|/q");
    write(CV + "RunOnceExDisabled\\0002", "Later", "||C:\\Program Files\\Hollowbell Audio\\hbpanel.exe");
    test::MainWindow w(demo.System());
    // Every cell of each row, and whether it is ticked.
    const auto rows = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < w.RowCount(); ++i) {
            std::string row;
            for (int column = 0; column < 5; ++column) {
                row += w.RowAt(i).text(column).toStdString() + " | ";
            }
            out.push_back(row + (w.RowAt(i).checkState(0) == Qt::Checked ? "on" : "off"));
        }
        return out;
    };
    w.ClickNode("RunOnceEx", 0);
    EXPECT_THAT(rows(), ElementsAre("0001\\1 | ||C:\\WINDOWS\\SYSTEM32\\lpksetup.exe /i de-DE /s | "
                                    "All Users\\Registry\\RunOnce Ex | User's Choice |  | on"));
    w.ClickNode("RunOnceEx", 1);
    EXPECT_THAT(rows(), ElementsAre("Fonts\\Helper | [Invalid Path]C:\\Gone\\fonthelp.dll|Install|/q | "
                                    "Current User\\Registry\\RunOnce Ex | Unknown |  | on",
                                    "Fonts\\Serif | ||\"C:\\Program Files\\Skyglass\\skyglass.exe\" /fonts | "
                                    "Current User\\Registry\\RunOnce Ex | User's Choice |  | on",
                                    "0002\\Later | ||C:\\Program Files\\Hollowbell Audio\\hbpanel.exe | "
                                    "Current User\\Registry\\RunOnce Ex | Not Required |  | off"));
}

TEST(TMainForm, StartsWithEveryListedLocationAndTheStartPage) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool"));
    EXPECT_EQ(w.form->SelectedNodePosition(), 0);
    EXPECT_EQ(w.Find<QTreeWidget>("TreeViewMain")->selectedItems(), QList{w.Node("All Programs")});
    EXPECT_EQ(w.form->Pane().LastUrl(), "file:///C:\\Program Files\\Quillbrook\\mess.htm");
    EXPECT_TRUE(std::filesystem::is_directory(root.Host("C:\\Program Files\\Quillbrook\\backup")));
    EXPECT_EQ(w.HeaderText(0), "Program Name");
    EXPECT_EQ(w.HeaderText(4), "Memory");
    // Cells as the list shows them.
    const test::ShownRow broken = w.RowAt(1);
    EXPECT_EQ(broken.text(1), "[Invalid Path]C:\\Gone\\broken.exe");
    EXPECT_EQ(broken.foreground(1).color(), QColor(255, 0, 0));
    EXPECT_EQ(broken.checkState(0), Qt::Checked);
    const test::ShownRow tool = w.RowAt(3);
    EXPECT_EQ(tool.text(4), "3.5 MB");
    EXPECT_EQ(tool.background(3).color(), QColor(0xF8, 0xFA, 0xF9));
    for (const char* name : {"ToolButtonApply",  "ToolButtonRefresh",  "ToolButtonBackup",  "ToolButtonHelp",
                             "ToolButtonAbout",  "ButtonAdd",          "ButtonEdit",        "ButtonDelete",
                             "ButtonProperties", "ButtonBrowse",       "SnButtonRun",       "SnButtonClose",
                             "RadioButtonGroup", "CppWebBrowserInfo",  "ImageLogo",         "ImageDonate",
                             "ImageTell",        "SnPopupMenuStartup", "MenuDeleteInvaild", "ToolBarMain"}) {
        EXPECT_NE(w.form->findChild<QObject*>(QLatin1String(name)), nullptr) << name;
    }
}

TEST(TMainForm, TheTreeFiltersOnAMouseReleaseOverANodeOnly) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    w.ClickNode("Services");
    EXPECT_THAT(w.Captions(), ElementsAre("Service"));
    w.ClickNode("Run", 1); // Current User › Registry › Run
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));
    // Moving the selection with the keyboard leaves the list as it was.
    QTreeWidget* tree = w.Find<QTreeWidget>("TreeViewMain");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Up);
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));
    w.ClickNode("All Users");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service"));
}

TEST(TMainForm, TheRatingItemCombinesWithTheNode) {
    test::SandboxRoot root;
    FillMachine(root);
    root.File("C:\\Program Files\\Quillbrook\\st.dat", "[Agent]\r\nConfirmed=X\r\n[Tool]\r\nConfirmed=X\r\n");
    test::MainWindow w(root.System());
    w.Press("RadioRating4"); // Harmful
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Tool"));
    EXPECT_EQ(w.RowAt(0).text(3), "Hamful");
    w.ClickNode("All Users");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent"));
    w.Press("RadioRating0");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service"));
}

TEST(TMainForm, SelectingARowShowsItsPageAndSetsStartAndStop) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    auto* start = w.Find<QPushButton>("SnButtonRun");
    auto* stop = w.Find<QPushButton>("SnButtonClose");
    auto* edit = w.Find<QPushButton>("ButtonEdit");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(edit->isEnabled());
    w.SelectRow("Agent");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(w.form->Pane().LastUrl(), "file:///C:\\Program Files\\Quillbrook\\info.htm");
    w.SelectRow("Tool"); // running
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    const std::string page = test::ReadText(root.Host("C:\\Program Files\\Quillbrook\\info.htm"));
    EXPECT_NE(page.find("3.5 MB / 4 MB (Current / Peak)"), std::string::npos);
    // A click on the list's empty part clears the selection.
    QTest::mouseClick(w.List()->viewport(), Qt::LeftButton, {},
                      QPoint(w.List()->viewport()->width() / 2, w.List()->viewport()->height() - 3));
    EXPECT_TRUE(w.SelectedCaptions().empty());
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
}

TEST(TMainForm, ColumnTitlesSortBothWays) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    test::ClickHeader(w.List(), 0);
    EXPECT_EQ(w.HeaderText(0), QString::fromUtf8("Program Name \u25B2"));
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool"));
    test::ClickHeader(w.List(), 0);
    EXPECT_EQ(w.HeaderText(0), QString::fromUtf8("Program Name \u25BC"));
    EXPECT_THAT(w.Captions(), ElementsAre("Tool", "Service", "Broken", "Agent"));
    test::ClickHeader(w.List(), 1);
    EXPECT_EQ(w.HeaderText(0), "Program Name");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Tool", "Service", "Broken")); // "[" after the letters
    w.Press("ToolButtonRefresh");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool"));
    EXPECT_EQ(w.HeaderText(1), "Command Path");
    test::ClickHeader(w.List(), 1); // continues from its own last direction
    EXPECT_EQ(w.HeaderText(1), QString::fromUtf8("Command Path \u25BC"));
}

// The Memory column sorts by size, not by its text ("10 MB" before "512 KB"); programs that do not run come
// first, then one whose size is unknown.
TEST(TMainForm, TheMemoryColumnSortsBySize) {
    test::SandboxRoot root;
    root.File("C:\\Apps\\big.exe")
        .File("C:\\Apps\\small.exe")
        .File("C:\\Apps\\middle.exe")
        .File("C:\\Apps\\idle.exe")
        .Value(HKCU, CV + "Run", "Big", "C:\\Apps\\big.exe")
        .Value(HKCU, CV + "Run", "Small", "C:\\Apps\\small.exe")
        .Value(HKCU, CV + "Run", "Middle", "C:\\Apps\\middle.exe")
        .Value(HKCU, CV + "Run", "Idle", "C:\\Apps\\idle.exe")
        .Processes("10\tbig.exe\t10485760\t10485760\n"
                   "11\tsmall.exe\t524288\t524288\n"
                   "12\tmiddle.exe\t1572864\t1572864\n");
    test::MainWindow w(root.System());
    const int memory = 4;
    ASSERT_EQ(w.HeaderText(memory), "Memory");
    test::ClickHeader(w.List(), memory);
    EXPECT_THAT(w.Captions(), ElementsAre("Idle", "Small", "Middle", "Big"));
    test::ClickHeader(w.List(), memory);
    EXPECT_THAT(w.Captions(), ElementsAre("Big", "Middle", "Small", "Idle"));
}

// A click sorts the rows as they are shown: rows with equal cells keep the order the last click gave them,
// not the order they were read in.
TEST(TMainForm, EqualCellsKeepTheOrderTheLastSortGaveThem) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    test::ClickHeader(w.List(), 0);
    test::ClickHeader(w.List(), 0);
    ASSERT_THAT(w.Captions(), ElementsAre("Tool", "Service", "Broken", "Agent"));
    test::ClickHeader(w.List(), 2); // Agent and Broken share "All Users\Registry\Run"
    EXPECT_THAT(w.Captions(), ElementsAre("Broken", "Agent", "Service", "Tool"));
    // A filter change shows the order the entries were read in, and the titles without a mark.
    w.Press("RadioRating0");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool"));
    EXPECT_EQ(w.HeaderText(2), "Location");
}

TEST(TMainForm, RowCommandsTellWhatIsWrongAndHandTheRestToTheShell) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    EXPECT_FALSE(w.Find<QPushButton>("ButtonBrowse")->isEnabled()); // no row selected
    w.SelectRow("Agent");
    w.Press("ButtonBrowse");
    w.Press("ButtonProperties");
    w.Choose("MenuSearch", "Agent");
    EXPECT_THAT(w.Messages(), ElementsAre());
    ASSERT_EQ(w.desktop.opened.size(), 2u);
    EXPECT_EQ(w.desktop.opened[0], root.Host("C:\\Apps").string());
    EXPECT_EQ(w.desktop.opened[1], "https://www.google.com/search?as_q=Agent&as_epq=AGENT%2EEXE");
    EXPECT_THAT(w.desktop.properties, ElementsAre("C:\\APPS\\AGENT.EXE"));
}

// A row whose program file is gone offers no command that needs the file: Start, Open and Properties are
// off on the buttons and in the list's menu, and a click on them does nothing. The rest stays.
TEST(TMainForm, AnEntryWhoseProgramIsGoneCannotBeStartedOpenedOrShown) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    const auto commands = [&](const std::string& row) {
        std::vector<std::string> out;
        w.SelectRow(row);
        for (const char* button : {"SnButtonRun", "SnButtonClose", "ButtonBrowse", "ButtonProperties",
                                   "ButtonEdit", "ButtonDelete"}) {
            out.push_back(std::string(button) + (w.Find<QPushButton>(button)->isEnabled() ? " on" : " off"));
        }
        test::RightClick(w.List(), w.Row(row));
        auto* menu = w.Find<QMenu>("SnPopupMenuStartup");
        for (QAction* action : menu->actions()) {
            const std::string name = action->objectName().toStdString();
            if (name == "MenuRun" || name == "MenuClose" || name == "MenuFind" || name == "MenuProperties" ||
                name == "MenuSearch" || name == "MenuEdit") {
                out.push_back(name + (action->isEnabled() ? " on" : " off"));
            }
        }
        menu->close();
        return out;
    };
    EXPECT_THAT(commands("Broken"), ElementsAre("SnButtonRun off", "SnButtonClose off", "ButtonBrowse off",
                                                "ButtonProperties off", "ButtonEdit on", "ButtonDelete on",
                                                "MenuEdit on", "MenuProperties off", "MenuSearch on",
                                                "MenuFind off", "MenuRun off", "MenuClose off"));
    for (const char* button : {"SnButtonRun", "ButtonBrowse", "ButtonProperties"}) {
        w.Press(button);
    }
    EXPECT_THAT(w.Messages(), ElementsAre());
    EXPECT_THAT(w.desktop.opened, ElementsAre());
    EXPECT_THAT(w.desktop.properties, ElementsAre());
    EXPECT_THAT(commands("Agent"),
                ElementsAre("SnButtonRun on", "SnButtonClose off", "ButtonBrowse on", "ButtonProperties on",
                            "ButtonEdit on", "ButtonDelete on", "MenuEdit on", "MenuProperties on",
                            "MenuSearch on", "MenuFind on", "MenuRun on", "MenuClose off"));
}

// The shipped page's "Command file" line names the program file as the disk spells it, whatever case the
// command writes it in, and without the command's arguments; a file that is gone as the command writes it.
TEST(TMainForm, ThePagesCommandFileIsTheProgramAsTheDiskSpellsIt) {
    test::SandboxRoot root;
    FillMachine(root);
    for (const auto& shipped : sandbox::ShippedDataFiles()) {
        if (shipped.path == "infotpl.dat") {
            root.File(kTool + "\\infotpl.dat", shipped.bytes);
        }
    }
    root.File("C:\\Apps\\Mixed Tool\\Agent.exe")
        .File("C:\\Windows\\System32\\Helper.exe")
        .Value(HKCU, CV + "Run", "Lower", "c:\\apps\\MIXED TOOL\\agent.EXE /q -x")
        .Value(HKCU, CV + "Run", "Quoted", "\"C:\\APPS\\MIXED TOOL\\AGENT.EXE\" --tray")
        .Value(HKCU, CV + "Run", "Bare", "HELPER /min");
    test::MainWindow w(root.System());
    std::vector<std::string> lines;
    for (const char* row : {"Lower", "Quoted", "Bare", "Broken"}) {
        w.SelectRow(row);
        for (const QString& line : w.PaneText().split(QLatin1Char('\n'))) {
            if (line.startsWith(QStringLiteral("Command file:"))) {
                lines.push_back(std::string(row) + " | " +
                                line.trimmed().toStdString()); // the line end shows as a blank
            }
        }
    }
    EXPECT_THAT(lines, ElementsAre("Lower | Command file: C:\\Apps\\Mixed Tool\\Agent.exe",
                                   "Quoted | Command file: C:\\Apps\\Mixed Tool\\Agent.exe",
                                   "Bare | Command file: C:\\Windows\\System32\\Helper.exe",
                                   "Broken | Command file: C:\\Gone\\broken.exe"));
}

TEST(TMainForm, StartsAndStopsARealProgram) {
    test::SandboxRoot root;
    FillMachine(root);
    const test::FolderProcessGuard started(root.Path());
    std::filesystem::remove(root.Path() / "processes.txt"); // the host's own processes
    const std::string program = "C:\\Apps\\qbguiprobe.exe";
    root.File(program, "#!/bin/sh\ntrap 'exit 0' TERM\nwhile :; do sleep 1; done\n")
        .Value(HKCU, CV + "Run", "Probe", program);
    std::filesystem::permissions(root.Host(program), std::filesystem::perms::owner_all);
    test::MainWindow w(root.System());
    w.SelectRow("Probe");
    w.Press("SnButtonRun");
    // The process needs a moment before the scan can see it: refresh until its row shows it running.
    for (int i = 0; i < 100 && w.Row("Probe").text(4).isEmpty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        w.Press("ToolButtonRefresh");
    }
    w.SelectRow("Probe");
    ASSERT_TRUE(w.Find<QPushButton>("SnButtonClose")->isEnabled());
    w.scripted.Answer(DialogResult::No);
    w.Press("SnButtonClose"); // refused: it runs on
    w.SelectRow("Probe");
    EXPECT_FALSE(w.Find<QPushButton>("SnButtonRun")->isEnabled());
    w.scripted.Answer(DialogResult::Yes);
    w.Press("SnButtonClose");
    w.SelectRow("Probe");
    EXPECT_TRUE(w.Find<QPushButton>("SnButtonRun")->isEnabled());
    const std::string question = "End the running program \"Probe\"? Work not saved in it may be lost.";
    EXPECT_THAT(w.Messages(), ElementsAre(question, question));
}

} // namespace qb
