#include "app/t_dlg_backup.h"

#include "app/dialog_header.h"
#include "app/dialog_list.h"
#include "app/qt_text.h"
#include "backup/backup_file.h"
#include "baseline/change_watch.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace qb {

TDlgBackup::TDlgBackup(PlatformServices services, StartupSession& session, QWidget* parent)
    : QDialog(parent), services_(services), session_(session) {
    setObjectName(QStringLiteral("TDlgBackup"));
    setWindowTitle(QStringLiteral("Backup & Restore"));
    setModal(true);
    resize(560, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);

    layout->addWidget(MakeHeaderBand(this, QStringLiteral("Backup and Restore Tools"), Qt::white,
                                     QColor(0x1F, 0x3A, 0x68), 1.4));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("ListViewBackup"));
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {QStringLiteral("Time"), QStringLiteral("Full File Name"), QStringLiteral("Number of Items")});
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionsClickable(false);
    list_->header()->resizeSection(0, 105);
    list_->header()->resizeSection(1, 300);
    list_->header()->resizeSection(2, 90);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { ListViewBackupDblClick(); });
    // Said where the rows would be, so that the dialog keeps its shape when the first backup arrives.
    noBackups_ = new QLabel(QStringLiteral("No backups yet."), list_->viewport());
    noBackups_->setObjectName(QStringLiteral("LabelNoBackups"));
    noBackups_->setAlignment(Qt::AlignCenter);
    noBackups_->setAttribute(Qt::WA_TransparentForMouseEvents);
    noBackups_->setForegroundRole(QPalette::PlaceholderText);
    list_->viewport()->installEventFilter(this);
    auto* listLayout = new QVBoxLayout();
    listLayout->setContentsMargins(8, 0, 8, 0);
    listLayout->addWidget(list_);
    layout->addLayout(listLayout, 1);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(8, 0, 8, 0);
    const auto button = [&](const char* name, const QString& caption, void (TDlgBackup::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
    };
    button("SnButtonNew", QStringLiteral("New Backup"), &TDlgBackup::SnButtonNewClick);
    button("SnButtonLoad", QStringLiteral("Load Setting"), &TDlgBackup::SnButtonLoadClick);
    button("SnButtonOpenFile", QStringLiteral("Open file..."), &TDlgBackup::SnButtonOpenFileClick);
    button("SnButtonDelete", QStringLiteral("Delete"), &TDlgBackup::SnButtonDeleteClick);
    button("SnButtonDeleteAll", QStringLiteral("Delete All"), &TDlgBackup::SnButtonDeleteAllClick);
    button("SnButtonView", QStringLiteral("View"), &TDlgBackup::SnButtonViewClick);
    buttons->addStretch(1);
    button("ButtonClose", QStringLiteral("Close"), &TDlgBackup::ButtonCloseClick);
    layout->addLayout(buttons);
}

void TDlgBackup::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const PlatformError& error) {
        services_.dialogs.ShowMessage(error.what(), MessageKind::Error, MessageButtons::Ok);
    }
}

void TDlgBackup::Tell(std::string_view text) {
    services_.dialogs.ShowMessage(text, MessageKind::Information, MessageButtons::Ok);
}

void TDlgBackup::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

bool TDlgBackup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        noBackups_->setGeometry(list_->viewport()->rect());
    }
    return QDialog::eventFilter(watched, event);
}

void TDlgBackup::FormShow() {
    Guard([&] {
        RefreshBackupList();
        // Before the dialog is in sight: the only moment it may take a new width.
        FitDialogList(*this, *list_, {105, 300, 90}, DialogGrowth::Widen);
        chosenFile_.clear();
    });
}

void TDlgBackup::RefreshBackupList() {
    rows_ = ReadBackupIndex(services_.registry);
    // The names are fixed-width times: in reverse text order the newest backup comes first, a new one at
    // the top where the user sees it arrive.
    std::stable_sort(rows_.begin(), rows_.end(), [](const BackupIndexRow& a, const BackupIndexRow& b) {
        return LessIgnoreCase(b.time, a.time);
    });
    ShowRows();
}

void TDlgBackup::ShowRows() {
    list_->clear();
    for (const auto& row : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, Q(row.time));
        item->setText(1, Q(row.filePath));
        item->setText(2, row.count ? QString::number(*row.count) : QString());
    }
    noBackups_->setVisible(rows_.empty());
    FitDialogList(*this, *list_, {105, 300, 90}, DialogGrowth::KeepSize);
}

const BackupIndexRow* TDlgBackup::SelectedRow() const {
    const auto selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return nullptr;
    }
    const int index = list_->indexOfTopLevelItem(selected.front());
    return index >= 0 && static_cast<std::size_t>(index) < rows_.size()
               ? &rows_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TDlgBackup::SnButtonNewClick() {
    Guard([&] {
        FileDialogOptions options;
        options.filter = std::string(kBackupFilter);
        options.defaultExtension = "qbk"; // not the filter's "QBK", which Windows' dialog would add
        options.hiddenNames = {std::string(kAcceptedSettingFile)};
        // The tool's backup folder, on the system's drive: a save there always works.
        options.initialDirectory = JoinPath(services_.files.ExecutableDirectory(), "backup");
        const auto chosen = services_.dialogs.ChooseFileToSave(options);
        // The list is built again in every case, even after Cancel or a failed write; it is sorted only at
        // the next opening.
        try {
            if (chosen) {
                // The system as it is, as the backup before an apply records it: changes not applied are
                // no setting of the system yet.
                session_.Backup(BackupFileName(*chosen), BackupContent::AsLoaded);
            }
        } catch (const PlatformError&) {
            RefreshBackupList();
            throw;
        }
        RefreshBackupList();
    });
}

void TDlgBackup::SnButtonLoadClick() {
    Guard([&] {
        const BackupIndexRow* row = SelectedRow();
        if (row == nullptr) {
            Tell("Please select an item.");
            return;
        }
        if (!services_.files.FileExists(row->filePath)) {
            Tell("Backup file not exist.");
            return;
        }
        chosenFile_ = row->filePath;
        accept();
    });
}

void TDlgBackup::SnButtonOpenFileClick() {
    Guard([&] {
        FileDialogOptions options;
        options.filter = std::string(kBackupFilter);
        options.initialDirectory = JoinPath(services_.files.ExecutableDirectory(), "backup");
        options.title = "Open a backup file";
        options.hiddenNames = {std::string(kAcceptedSettingFile)};
        const auto chosen = services_.dialogs.ChooseFileToOpen(options);
        if (!chosen) {
            return;
        }
        // A typed name need not exist; a listed backup that is gone is refused with the same words.
        if (!services_.files.FileExists(*chosen)) {
            Tell("Backup file not exist.");
            return;
        }
        chosenFile_ = *chosen;
        accept();
    });
}

void TDlgBackup::SnButtonDeleteClick() {
    Guard([&] {
        const BackupIndexRow* row = SelectedRow();
        if (row == nullptr) {
            Tell("Please select a file.");
            return;
        }
        if (services_.dialogs.ShowMessage(DeleteBackupQuestion(row->filePath), MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        DeleteBackup(*row, services_);
        RefreshBackupList();
    });
}

void TDlgBackup::SnButtonDeleteAllClick() {
    Guard([&] {
        if (services_.dialogs.ShowMessage(kDeleteAllQuestion, MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        DeleteAllBackups(services_);
        RefreshBackupList();
    });
}

void TDlgBackup::SnButtonViewClick() {
    Guard([&] {
        const BackupIndexRow* row = SelectedRow();
        if (row == nullptr) {
            Tell("Please select a file.");
            return;
        }
        if (!services_.files.FileExists(row->filePath)) {
            Tell("Backup file not exist.");
            return;
        }
        View(row->filePath);
    });
}

void TDlgBackup::ListViewBackupDblClick() {
    Guard([&] {
        if (const BackupIndexRow* row = SelectedRow()) {
            View(row->filePath);
        }
    });
}

void TDlgBackup::View(const std::string& path) {
    // WinExec's result: above 31 the viewer started. Otherwise the user hears of it instead of waiting.
    if (services_.shell.RunCommand("notepad.exe " + path, kShowNormal) <= 31) {
        Tell("Could not open " + path + " in a text viewer.");
    }
}

void TDlgBackup::ButtonCloseClick() {
    reject();
}

} // namespace qb
