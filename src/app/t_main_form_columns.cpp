// The columns the user picks: a right click on the list's titles offers every column of the column table
// with a check mark; the choice is kept with the window's other settings (t_main_form_view.cpp).
#include "app/list_columns.h"
#include "app/qt_text.h"
#include "app/t_main_form.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeView>

namespace qb {

void TMainForm::BuildColumnMenu() {
    columnMenu_ = new QMenu(this);
    columnMenu_->setObjectName(QStringLiteral("PopupMenuColumns"));
    columnMenu_->setAccessibleName(QStringLiteral("Columns shown"));
    for (int column = 0; column < kColumnCount; ++column) {
        const ListColumnInfo& info = kListColumns[static_cast<std::size_t>(column)];
        QAction* action = columnMenu_->addAction(Q(info.title));
        action->setObjectName(QStringLiteral("MenuColumn") + Q(info.key));
        action->setCheckable(true);
        action->setChecked(true);
        action->setEnabled(!info.alwaysShown);
        connect(action, &QAction::toggled, this,
                [this, column](bool shown) { SetColumnShown(column, shown); });
    }
}

void TMainForm::ShowColumnMenu(const QPoint& headerPos) {
    const QList<QAction*> actions = columnMenu_->actions();
    for (int column = 0; column < kColumnCount && column < actions.size(); ++column) {
        const QSignalBlocker quiet(actions[column]);
        actions[column]->setChecked(!listViewFix_->isColumnHidden(column));
    }
    columnMenu_->popup(listViewFix_->header()->viewport()->mapToGlobal(headerPos));
}

void TMainForm::SetColumnShown(int column, bool shown) {
    if (column < 0 || column >= kColumnCount || kListColumns[static_cast<std::size_t>(column)].alwaysShown) {
        return;
    }
    // Hiding gives the section no width, showing gives its width back: neither is the user's own width.
    fitting_ = true;
    listViewFix_->setColumnHidden(column, !shown);
    fitting_ = false;
    FitColumns();
}

} // namespace qb
