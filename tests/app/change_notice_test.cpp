// The window tells what changed behind the user's back: marked rows, the notice above the list and its
// buttons.
#include "main_window_fixture.h"

#include <QAbstractButton>
#include <QFrame>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>
#include <gtest/gtest.h>

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
