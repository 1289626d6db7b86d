#pragma once

#include "app/path_mapping.h"
#include "platform/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace qb {

// The standard dialogs as Qt message boxes and file dialogs, owned by the main window. File dialogs show
// the system's files and hand back the system's paths.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(PathMapping paths) : paths_(std::move(paths)) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }

    DialogResult ShowMessage(std::string_view text, MessageKind kind, MessageButtons buttons) override;
    DialogResult ShowTitledMessage(std::string_view title, std::string_view text) override;
    std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) override;
    std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) override;

private:
    std::optional<std::string> Choose(const FileDialogOptions& options, bool save);

    PathMapping paths_;
    QPointer<QWidget> owner_;
};

// "Backup files (*.qbk)|*.qbk|All files (*.*)|*.*" as Qt writes a filter: "Backup files (*.qbk);;...".
QString QtFileFilter(std::string_view windowsFilter);

} // namespace qb
