#pragma once

#include <QString>
#include <array>

class QAction;
class QPushButton;
class QWidget;

namespace qb {

struct CommandAvailability;

// The main window's commands. Each is one QAction: its push button, its item of the list's menu, its
// toolbar button and its key all trigger that action, and its availability is set once, on the action.
enum class Command {
    Add,
    Edit,
    Delete,
    Undo, // takes back the delete of the selected row
    DeleteInvalid,
    DeleteHarmful,
    DeleteDisabled,
    Properties,
    Search,
    Browse,
    Run,
    Close,
    Apply,
    Refresh,
    Backup,
    Help,
    About,
    ToggleCheck, // the selected row's check box, from the keyboard
    RowMenu,     // the list's menu, from the keyboard
};
inline constexpr std::size_t kCommandCount = static_cast<std::size_t>(Command::RowMenu) + 1;

class MainFormActions {
public:
    // Makes every action, owned by `window`; the keys of the window's commands work anywhere in it.
    explicit MainFormActions(QWidget* window);
    // The keys that act on the selected row work while `list` has the keyboard.
    void ScopeToList(QWidget* list);

    QAction* operator[](Command command) const { return actions_[static_cast<std::size_t>(command)]; }

    // Enables the row commands as the selection allows. Start and Stop stay as they are when `available`
    // leaves them open.
    void SetAvailability(const CommandAvailability& available);

    // The command of an unavailable action whose key this is, or nullptr: such a key still tells the user
    // why nothing happens, as the command does with no row selected.
    QAction* DisabledActionForKey(int key, Qt::KeyboardModifiers modifiers) const;

    // A push button that shows the command: a click triggers the action, and the button is enabled exactly
    // when the action is. The button keeps its own caption and mnemonic.
    static void Bind(QPushButton* button, QAction* action);

private:
    std::array<QAction*, kCommandCount> actions_{};
};

} // namespace qb
