#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

enum class MessageKind { Information, Confirmation, Warning, Error };
enum class MessageButtons { Ok, YesNo, OkCancel };
enum class DialogResult { Ok, Cancel, Yes, No };

struct FileDialogOptions {
    // Pairs of a description and its patterns, all separated by "|": "Backup files (*.qbk)|*.qbk".
    std::string filter;
    std::string defaultExtension;
    std::string initialDirectory;
    std::string fileName;
    std::string title;
    // Files of the folder the dialog leaves out, whatever the filter: a file the tool keeps for itself among
    // the user's own.
    std::vector<std::string> hiddenNames;
};

// The standard dialogs. Tests answer them from a script.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual DialogResult ShowMessage(std::string_view text, MessageKind kind, MessageButtons buttons) = 0;
    // A message box with its own title and the buttons OK and Cancel.
    virtual DialogResult ShowTitledMessage(std::string_view title, std::string_view text) = 0;
    virtual std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) = 0;
};

} // namespace qb
