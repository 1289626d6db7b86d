#pragma once

// moc need not read the core's headers (its parser stops at some C++20 library headers).
#ifndef Q_MOC_RUN
#include "backup/backup_index.h"
#include "platform/platform_services.h"
#include "session/startup_session.h"
#endif

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;

namespace qb {

// "Backup & Restore": the backups the tool wrote, listed from the backup index, newest first, with New
// Backup, Load Setting, Open file (any backup file, listed or not), Delete, Delete All, View and Close.
// Loading happens after the dialog closes: it only hands the chosen file back (ChosenFile). The dialog
// takes its size when it opens and keeps it while it is used.
class TDlgBackup : public QDialog {
    Q_OBJECT

public:
    TDlgBackup(PlatformServices services, StartupSession& session, QWidget* parent = nullptr);

    const std::string& ChosenFile() const { return chosenFile_; }
    const std::vector<BackupIndexRow>& Rows() const { return rows_; }

    // Runs when the dialog opens: the list, its columns and the dialog's width fitted to it, and no file
    // chosen.
    void FormShow();
    // Rebuilds the list from the index, newest first, without changing the dialog's size.
    void RefreshBackupList();

public slots:
    void SnButtonNewClick();
    void SnButtonLoadClick();
    void SnButtonOpenFileClick();
    void SnButtonDeleteClick();
    void SnButtonDeleteAllClick();
    void SnButtonViewClick();
    void ListViewBackupDblClick();
    void ButtonCloseClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowRows();
    const BackupIndexRow* SelectedRow() const;
    void Tell(std::string_view text);
    // Opens a backup file in the text viewer ("notepad.exe " and the path, as the backup index does).
    void View(const std::string& path);
    void Guard(const std::function<void()>& handler);

    PlatformServices services_;
    StartupSession& session_;          // writes the backups
    std::vector<BackupIndexRow> rows_; // row i is the list's item i
    std::string chosenFile_;
    QTreeWidget* list_ = nullptr;
    QLabel* noBackups_ = nullptr; // over the empty list
};

} // namespace qb
