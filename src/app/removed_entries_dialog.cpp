#include "app/removed_entries_dialog.h"

#include "app/dialog_list.h"
#include "app/qt_text.h"
#include "backup/saved_entry.h"
#include "inventory/row_texts.h"
#include "inventory/startup_item.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qb {

void ShowRemovedEntries(QWidget* owner, const std::vector<SavedEntry>& removed) {
    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("DialogRemoved"));
    dialog.setWindowTitle(QStringLiteral("Removed Entries"));
    dialog.resize(560, 300);
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(
        QStringLiteral("Since you last accepted the startup setting, these entries are gone. Something other "
                       "than Quillbrook removed them; a backup from before brings them back."),
        &dialog);
    text->setWordWrap(true);
    layout->addWidget(text);

    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("ListRemoved"));
    list->setHeaderLabels({QStringLiteral("Program Name"), QStringLiteral("Location"),
                           QStringLiteral("Command Path"), QStringLiteral("Status")});
    list->setRootIsDecorated(false);
    list->header()->setSectionsClickable(false);
    for (const SavedEntry& entry : removed) {
        // The command as the list showed it: a shortcut's target with its arguments.
        list->addTopLevelItem(
            new QTreeWidgetItem(QStringList{Q(ShownName(entry.name)), Q(entry.location),
                                            Q(ShownCommand(RecordOf(entry))), Q(StateText(entry.state))}));
    }
    layout->addWidget(list, 1);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Close"), &dialog);
    close->setObjectName(QStringLiteral("ButtonClose"));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    FitDialogList(dialog, *list, {140, 150, 200, 60});
    dialog.exec();
}

} // namespace qb
