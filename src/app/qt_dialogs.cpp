#include "app/qt_dialogs.h"

#include "app/qt_text.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QSortFilterProxyModel>

namespace qb {

namespace {

// Leaves the named files out of a file dialog's listing. Qt's own dialog takes it; Windows' dialog lists
// what Explorer lists, so the tool's own files are hidden on the disk there.
class HiddenNamesFilter : public QSortFilterProxyModel {
public:
    HiddenNamesFilter(const std::vector<std::string>& names, QObject* parent)
        : QSortFilterProxyModel(parent) {
        for (const std::string& name : names) {
            names_ << Q(name);
        }
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr) {
            return true;
        }
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || !names_.contains(files->fileName(index), Qt::CaseInsensitive);
    }

private:
    QStringList names_;
};

} // namespace

QString QtFileFilter(std::string_view windowsFilter) {
    const QStringList parts = Q(windowsFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!description.contains(QLatin1Char('('))) {
            description += QStringLiteral(" (") + patterns + QLatin1Char(')');
        } else {
            // Qt takes the patterns from the parentheses: make them the real ones.
            description = description.left(description.indexOf(QLatin1Char('('))).trimmed() +
                          QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

DialogResult QtDialogs::ShowMessage(std::string_view text, MessageKind kind, MessageButtons buttons) {
    QMessageBox box(owner_);
    box.setWindowTitle(QStringLiteral("Quillbrook"));
    box.setText(Q(text));
    switch (kind) {
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::YesNo:
        // Every Yes/No question of the tool asks before something is thrown away or deleted: Enter and
        // Escape both answer No.
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return DialogResult::Yes;
    case QMessageBox::No:
        return DialogResult::No;
    case QMessageBox::Cancel:
        return DialogResult::Cancel;
    default:
        return DialogResult::Ok;
    }
}

DialogResult QtDialogs::ShowTitledMessage(std::string_view title, std::string_view text) {
    const auto answer =
        QMessageBox::warning(owner_, Q(title), Q(text), QMessageBox::Ok | QMessageBox::Cancel);
    return answer == QMessageBox::Ok ? DialogResult::Ok : DialogResult::Cancel;
}

std::optional<std::string> QtDialogs::Choose(const FileDialogOptions& options, bool save) {
    QString start;
    if (!options.initialDirectory.empty()) {
        if (auto local = paths_.toLocal(options.initialDirectory)) {
            start = Q(*local);
        }
    }
    if (!options.fileName.empty()) {
        start = start.isEmpty() ? Q(options.fileName) : start + QLatin1Char('/') + Q(options.fileName);
    }
    QFileDialog dialog(owner_, Q(options.title), start, QtFileFilter(options.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!options.defaultExtension.empty()) {
        dialog.setDefaultSuffix(Q(options.defaultExtension));
    }
    if (!options.hiddenNames.empty()) {
        dialog.setProxyModel(new HiddenNamesFilter(options.hiddenNames, &dialog));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const std::string chosen = dialog.selectedFiles().front().toStdString();
    auto windows = paths_.toWindows(chosen);
    if (!windows) {
        ShowMessage("The file must lie on one of the system's drives.", MessageKind::Warning,
                    MessageButtons::Ok);
    }
    return windows;
}

std::optional<std::string> QtDialogs::ChooseFileToOpen(const FileDialogOptions& options) {
    return Choose(options, false);
}

std::optional<std::string> QtDialogs::ChooseFileToSave(const FileDialogOptions& options) {
    return Choose(options, true);
}

} // namespace qb
