// The window tells what changed behind the user's back: marked rows, the notice above the list and its
// buttons.
#include "main_window_fixture.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFrame>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace qb::test {
namespace {

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

void SetRunValue(sandbox::SandboxSystem& system, const char* name, const char* command) {
    const auto key = system.Services().registry.OpenForWriting(RegistryRoot::CurrentUser, kRun, true);
    ASSERT_TRUE(key);
    key->WriteString(name, command);
}

// The demo system as the user last accepted it, then a program that added itself, one that put its value
// back after it was disabled, and one whose command changed.
struct ChangedDemo {
    ChangedDemo() {
        { MainWindow first(demo.System()); } // the first run keeps the setting as it is
        SetRunValue(demo.System(), "Sneaky", "C:\\Users\\User\\AppData\\Roaming\\sneaky.exe");
        SetRunValue(demo.System(), "Gamedock Launcher", "\"C:\\Program Files\\Gamedock\\gamedock.exe\" -silent");
        SetRunValue(demo.System(), "Lanternfish Sync", "\"C:\\Users\\User\\AppData\\Local\\Lanternfish\\lfsync.exe\"");
    }
    DemoMachine demo;
};

// The row's tooltip as a hover over its name shows it.
std::string NameTip(MainWindow& window, const std::string& caption) {
    const QRect rect = window.List()->visualRect(window.Row(caption));
    QHelpEvent help(QEvent::ToolTip, QPoint(rect.left() + 40, rect.center().y()),
                    window.List()->viewport()->mapToGlobal(QPoint(rect.left() + 40, rect.center().y())));
    QApplication::sendEvent(window.List()->viewport(), &help);
    return QToolTip::text().toStdString();
}

// Each button in sight has a letter of its own, so that Alt and that letter always presses it: with the
// notice shown, Alt+I disables the returned entry again.
TEST(ChangeNotice, EveryButtonInSightHasItsOwnMnemonic) {
    ChangedDemo changed;
    MainWindow window(changed.demo.System());
    ASSERT_TRUE(window.Find<QFrame>("PanelChanges")->isVisible());
    std::vector<std::string> letters;
    for (const QAbstractButton* button : window.form->findChildren<QAbstractButton*>()) {
        const qsizetype amp = button->text().indexOf(QLatin1Char('&'));
        if (button->isVisible() && amp >= 0 && amp + 1 < button->text().size()) {
            letters.push_back(button->text().mid(amp + 1, 1).toUpper().toStdString());
        }
    }
    std::sort(letters.begin(), letters.end());
    EXPECT_EQ(letters, (std::vector<std::string>{"A", "C", "D", "E", "H", "I", "O", "R", "S", "T"}));

    window.Activate();
    QTest::keyClick(window.List(), Qt::Key_I, Qt::AltModifier);
    // A mnemonic presses its button as a click does: down, and up a moment later.
    for (int i = 0; i < 50 && window.Row("Gamedock Launcher").checkState(0) == Qt::Checked; ++i) {
        QTest::qWait(20);
    }
    EXPECT_EQ(window.Row("Gamedock Launcher").checkState(0), Qt::Unchecked);
}

TEST(ChangeNotice, AFirstRunShowsNoNotice) {
    DemoMachine demo;
    MainWindow window(demo.System());
    EXPECT_FALSE(window.Find<QFrame>("PanelChanges")->isVisible());
}

TEST(ChangeNotice, SaysWhatChangedShowsOnlyThoseRowsAndClearsWhenAccepted) {
    ChangedDemo changed;
    MainWindow window(changed.demo.System());
    ASSERT_TRUE(window.Find<QFrame>("PanelChanges")->isVisible());
    EXPECT_EQ(window.Find<QLabel>("LabelChanges")->text().toStdString(),
              "Since you last accepted the startup setting: 1 new, 1 returned, 1 changed entries.");
    EXPECT_EQ(NameTip(window, "Gamedock Launcher"),
              "Returned: you had disabled this entry, and it is enabled again. Its program may have put it back.\n"
              "Right click for more operation.");
    EXPECT_EQ(NameTip(window, "Padnote"), "Right click for more operation.");

    const std::vector<std::string> everything = window.Captions();
    window.Press("ButtonShowChanges");
    EXPECT_EQ(window.Captions(), (std::vector<std::string>{"Lanternfish Sync", "Sneaky", "Gamedock Launcher"}));

    // The information page says why the selected row is marked, first in its description.
    window.SelectRow("Sneaky");
    const QStringList pane = window.PaneText().split(QLatin1Char('\n'));
    const auto description = pane.indexOf(QStringLiteral("Description"));
    ASSERT_GE(description, 0) << window.PaneText().toStdString();
    ASSERT_GT(pane.size(), description + 2);
    EXPECT_EQ(pane[description + 2].toStdString(),
              "New: this entry was not there when you last accepted the startup setting.");

    window.Press("ButtonAcceptChanges");
    EXPECT_FALSE(window.Find<QFrame>("PanelChanges")->isVisible());
    EXPECT_EQ(window.Captions(), everything) << "the list shows every entry again";
    window.Press("ToolButtonRefresh");
    EXPECT_FALSE(window.Find<QFrame>("PanelChanges")->isVisible()) << "accepted marks stay cleared";
}

// An entry gone behind the user's back has no row to mark: the notice counts it, and Removed... names it.
TEST(ChangeNotice, EntriesGoneSinceTheAcceptedSettingAreCountedAndNamedOnRequest) {
    ChangedDemo changed;
    {
        const auto key =
            changed.demo.System().Services().registry.OpenForWriting(RegistryRoot::CurrentUser, kRun, false);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->DeleteValue("Padnote"));
    }
    MainWindow window(changed.demo.System());
    EXPECT_EQ(
        window.Find<QLabel>("LabelChanges")->text().toStdString(),
        "Since you last accepted the startup setting: 1 new, 1 returned, 1 changed, 1 removed entries.");

    std::vector<std::string> listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no list of removed entries";
        listed.push_back(dialog->windowTitle().toStdString());
        const auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListRemoved"));
        for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
            std::string row;
            for (int c = 0; c < list->columnCount(); ++c) {
                row += (c == 0 ? "" : " | ") + list->topLevelItem(i)->text(c).toStdString();
            }
            listed.push_back(row);
        }
        PressIn(dialog, "ButtonClose");
    });
    window.Press("ButtonShowRemoved");
    EXPECT_EQ(listed, (std::vector<std::string>{"Removed Entries",
                                                "Padnote | Current User\\Registry\\Run | "
                                                "C:\\Program Files\\Padnote\\padnote.exe | Disabled"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // With only a removed entry left, no row is marked: nothing to show only, and Accept forgets it.
    window.Press("ButtonAcceptChanges");
    EXPECT_FALSE(window.Find<QFrame>("PanelChanges")->isVisible());
    window.Press("ToolButtonRefresh");
    EXPECT_FALSE(window.Find<QFrame>("PanelChanges")->isVisible());
}

// The marks are coloured; the Change column says the same in words, and tells an entry Windows' own startup
// settings switched off from one the tool disabled.
TEST(ChangeNotice, TheChangeColumnSaysInWordsWhatTheMarksShow) {
    ChangedDemo changed;
    MainWindow window(changed.demo.System());
    const auto marked = [&] {
        std::vector<std::string> out;
        for (const std::string& row : window.CaptionsAndChanges()) {
            if (row.back() != '|') {
                out.push_back(row);
            }
        }
        return out;
    };
    EXPECT_EQ(marked(), (std::vector<std::string>{"Lanternfish Sync|Changed", "Padnote|Off in Windows",
                                                  "Sneaky|New", "Gamedock Launcher|Returned"}));
    ClickCheckBox(window.List(), window.Row("Sneaky"));
    ClickCheckBox(window.List(), window.Row("Padnote"));
    EXPECT_EQ(marked(), (std::vector<std::string>{"Lanternfish Sync|Changed", "Padnote|Enable",
                                                  "Sneaky|Disable", "Gamedock Launcher|Returned"}));
}

// Replaces text in the root's registry file as another program would, in the file's own encoding (UTF-16LE
// with its byte-order mark, as the tool writes it, or UTF-8, as the demo is seeded).
void EditRegistryFile(const std::filesystem::path& root, const QString& from, const QString& to) {
    const std::filesystem::path file = root / "registry.reg";
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const bool utf16 = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    QString text = utf16 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data() + 2),
                                              static_cast<qsizetype>((bytes.size() - 2) / 2))
                         : QString::fromUtf8(bytes);
    ASSERT_TRUE(text.contains(from)) << from.toStdString();
    text.replace(from, to);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (utf16) {
        out.write("\xFF\xFE", 2);
        out.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    } else {
        const QByteArray utf8 = text.toUtf8();
        out.write(utf8.constData(), utf8.size());
    }
}

// An entry whose command another program changed runs something else under a name the database knows: its
// page says what it was and what it is now, and rates and describes what runs now, not what the name was
// given for.
TEST(ChangeNotice, AChangedEntrysPageSaysWasAndNowAndDescribesWhatRunsNow) {
    DemoMachine demo;
    { MainWindow first(demo.System()); } // the first run keeps the setting as it is
    EditRegistryFile(
        demo.Root(),
        QStringLiteral(
            R"("Lanternfish Sync"="\"C:\\Users\\User\\AppData\\Local\\Lanternfish\\lfsync.exe\" /background")"),
        QStringLiteral(R"("Lanternfish Sync"="C:\\Users\\User\\AppData\\Roaming\\svch0st.exe -hide")"));
    demo.Reopen();
    MainWindow window(demo.System());
    window.SelectRow("Lanternfish Sync");
    EXPECT_EQ(
        window.PaneText().toStdString(),
        "Lanternfish Sync \n"
        "Command\n"
        "C:\\Users\\User\\AppData\\Roaming\\svch0st.exe -hide\n"
        "Location\n"
        "Current User\\Registry\\Run\n"
        "Rating\n"
        "Hamful\n"
        "Memory\n"
        "N/A (This program is not running)\n"
        "\n"
        "Description\n"
        "\n"
        "Changed: this entry's command is not the one it had when you last accepted the startup setting.\n"
        "Was: \"C:\\Users\\User\\AppData\\Local\\Lanternfish\\lfsync.exe\" /background\n"
        "Now: C:\\Users\\User\\AppData\\Roaming\\svch0st.exe -hide\n"
        "Borrows the name of the system's service host to look harmless. The real service host never starts "
        "from a startup entry: remove this entry and scan the computer for malware. \n"
        "Command file: C:\\Users\\User\\AppData\\Roaming\\svch0st.exe \n"
        "Search the web for this program (Lanternfish Sync) ");
}

TEST(ChangeNotice, DisableReturnedUnticksTheReturnedEntryAsAPendingChange) {
    ChangedDemo changed;
    MainWindow window(changed.demo.System());
    ASSERT_EQ(window.Row("Gamedock Launcher").checkState(0), Qt::Checked);
    window.Press("ButtonDisableReturned");
    EXPECT_EQ(window.Row("Gamedock Launcher").checkState(0), Qt::Unchecked);
    EXPECT_EQ(window.Row("Sneaky").checkState(0), Qt::Checked);
    EXPECT_EQ(window.StatusText(), "21 of 21 entries shown|1 change not applied");
}

} // namespace
} // namespace qb::test
