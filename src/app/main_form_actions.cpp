#include "app/main_form_actions.h"

#include "app/app_icons.h"
#include "app/command_availability.h"

#include <QAction>
#include <QKeySequence>
#include <QPushButton>
#include <QWidget>
#include <initializer_list>
#include <optional>

namespace qb {

namespace {

// Where a command's key works: on the selected row while the list has the keyboard, or anywhere in the
// window.
enum class KeyScope { List, Window };

struct CommandInfo {
    Command command;
    const char* objectName; // what tests and the Windows GUI driver find it by
    const char* caption;    // in the list's menu, or under the toolbar button
    const char* hint;       // the toolbar button's tooltip
    std::optional<Glyph> glyph;
    int iconSize;
    std::initializer_list<QKeyCombination> keys;
    KeyScope scope;
};

// One row per command. The list's menu shows the captions; the push buttons beside the list keep their own
// short captions with their Alt-letter mnemonics.
const CommandInfo kCommands[] = {
    {Command::Add, "MenuAdd", "Add entry...", "", Glyph::Add, 16, {Qt::Key_Insert}, KeyScope::List},
    {Command::Edit,
     "MenuEdit",
     "Edit entry...",
     "",
     Glyph::Edit,
     16,
     {Qt::Key_Return, Qt::Key_Enter},
     KeyScope::List},
    {Command::Delete, "MenuDelete", "Delete entry", "", Glyph::Delete, 16, {Qt::Key_Delete}, KeyScope::List},
    {Command::Undo,
     "MenuUndo",
     "Undo",
     "",
     std::nullopt,
     16,
     {QKeyCombination(Qt::CTRL, Qt::Key_Z)},
     KeyScope::List},
    {Command::DeleteInvalid,
     "MenuDeleteInvaild",
     "Delete all invaild entries",
     "",
     Glyph::Delete,
     16,
     {},
     KeyScope::List},
    {Command::DeleteHarmful,
     "MenuDeleteHarmful",
     "Delete all harmful entries",
     "",
     Glyph::Delete,
     16,
     {},
     KeyScope::List},
    {Command::DeleteDisabled,
     "MenuDeleteDisabled",
     "Delete all disabled entries",
     "",
     Glyph::Delete,
     16,
     {},
     KeyScope::List},
    {Command::Properties, "MenuProperties", "Properties", "", Glyph::Properties, 16, {}, KeyScope::List},
    {Command::Search, "MenuSearch", "Search in Google", "", Glyph::Search, 16, {}, KeyScope::List},
    {Command::Browse, "MenuFind", "Open program folder", "", Glyph::Open, 16, {}, KeyScope::List},
    {Command::Run, "MenuRun", "Start this program", "", Glyph::Start, 16, {}, KeyScope::List},
    {Command::Close, "MenuClose", "Stop this program", "", Glyph::Stop, 16, {}, KeyScope::List},
    {Command::Apply, "ActionApply", "Apply", "Apply changes", Glyph::Apply, 32, {}, KeyScope::Window},
    {Command::Refresh,
     "ActionRefresh",
     "Refresh",
     "Refresh the current startup setting",
     Glyph::Refresh,
     32,
     {Qt::Key_F5},
     KeyScope::Window},
    {Command::Backup,
     "ActionBackup",
     "  Backup  ",
     "Backup current startup setting",
     Glyph::Backup,
     32,
     {},
     KeyScope::Window},
    {Command::Help,
     "ActionHelp",
     "Help",
     "Help of Quillbrook",
     Glyph::Help,
     32,
     {Qt::Key_F1},
     KeyScope::Window},
    {Command::About, "ActionAbout", "About", "About Quillbrook", Glyph::About, 32, {}, KeyScope::Window},
    {Command::ToggleCheck,
     "ActionToggleCheck",
     "Enable or disable",
     "",
     std::nullopt,
     16,
     {Qt::Key_Space},
     KeyScope::List},
    {Command::RowMenu,
     "ActionRowMenu",
     "Menu",
     "",
     std::nullopt,
     16,
     {QKeyCombination(Qt::SHIFT, Qt::Key_F10)},
     KeyScope::List},
};
static_assert(std::size(kCommands) == kCommandCount, "every command has its row");

// Keys arrive with the keypad's modifier from the number block; the command is the same.
QKeySequence PlainKey(int key, Qt::KeyboardModifiers modifiers) {
    return QKeySequence(QKeyCombination(modifiers & ~Qt::KeypadModifier, static_cast<Qt::Key>(key)));
}

} // namespace

MainFormActions::MainFormActions(QWidget* window) {
    for (const CommandInfo& info : kCommands) {
        auto* action = new QAction(QString::fromUtf8(info.caption), window);
        action->setObjectName(QLatin1String(info.objectName));
        if (info.glyph) {
            action->setIcon(DrawnIcon(*info.glyph, info.iconSize));
        }
        if (*info.hint != '\0') {
            action->setToolTip(QString::fromUtf8(info.hint));
        }
        QList<QKeySequence> keys;
        for (const QKeyCombination key : info.keys) {
            keys << QKeySequence(key);
        }
        action->setShortcuts(keys);
        // The list's menu has never shown keys beside its items.
        action->setShortcutVisibleInContextMenu(false);
        if (info.scope == KeyScope::List) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        } else {
            action->setShortcutContext(Qt::WindowShortcut);
            window->addAction(action);
        }
        actions_[static_cast<std::size_t>(info.command)] = action;
    }
}

void MainFormActions::ScopeToList(QWidget* list) {
    for (const CommandInfo& info : kCommands) {
        if (info.scope == KeyScope::List) {
            list->addAction((*this)[info.command]);
        }
    }
}

void MainFormActions::SetAvailability(const CommandAvailability& available) {
    (*this)[Command::Edit]->setEnabled(available.edit);
    (*this)[Command::Browse]->setEnabled(available.browse);
    (*this)[Command::Properties]->setEnabled(available.properties);
    (*this)[Command::Delete]->setEnabled(available.remove);
    (*this)[Command::Undo]->setEnabled(available.undo);
    // A deleted row's menu leads with what can be done with it.
    (*this)[Command::Undo]->setVisible(available.undo);
    (*this)[Command::Search]->setEnabled(available.search);
    if (available.start) {
        (*this)[Command::Run]->setEnabled(*available.start);
    }
    if (available.stop) {
        (*this)[Command::Close]->setEnabled(*available.stop);
    }
}

QAction* MainFormActions::DisabledActionForKey(int key, Qt::KeyboardModifiers modifiers) const {
    const QKeySequence pressed = PlainKey(key, modifiers);
    for (QAction* action : actions_) {
        if (!action->isEnabled() && action->shortcuts().contains(pressed)) {
            return action;
        }
    }
    return nullptr;
}

void MainFormActions::Bind(QPushButton* button, QAction* action) {
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    const auto follow = [button, action] { button->setEnabled(action->isEnabled()); };
    QObject::connect(action, &QAction::changed, button, follow);
    follow();
}

} // namespace qb
