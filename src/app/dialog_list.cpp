#include "app/dialog_list.h"

#include <QDialog>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>

namespace qb {

void FitDialogList(QDialog& dialog, QTreeWidget& list, const std::vector<int>& least, DialogGrowth growth) {
    for (int column = 0; column < list.columnCount(); ++column) {
        list.resizeColumnToContents(column);
        const int floor =
            column < static_cast<int>(least.size()) ? least[static_cast<std::size_t>(column)] : 0;
        list.header()->resizeSection(column, std::max(floor, list.columnWidth(column)));
    }
    if (growth == DialogGrowth::KeepSize) {
        return;
    }
    // What the list's frame and the room around it take besides the columns, as laid out at the dialog's
    // present size. The dialog may not have been shown yet: then only an explicit layout places the list.
    if (dialog.layout() != nullptr) {
        dialog.layout()->setGeometry(dialog.rect());
    }
    const int besides = dialog.width() - list.width() + 2 * list.frameWidth();
    int wanted = list.header()->length() + besides + list.verticalScrollBar()->sizeHint().width();
    if (const QScreen* screen = dialog.screen()) {
        wanted = std::min(wanted, screen->availableGeometry().width() * 9 / 10);
    }
    if (wanted <= dialog.width()) {
        return;
    }
    if (dialog.minimumWidth() == dialog.maximumWidth()) {
        dialog.setFixedWidth(wanted); // a dialog of a fixed size keeps it fixed, only wider
    } else {
        dialog.resize(wanted, dialog.height());
    }
}

} // namespace qb
