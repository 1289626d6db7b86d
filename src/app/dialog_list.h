#pragma once

#include <vector>

class QDialog;
class QTreeWidget;

namespace qb {

// Whether fitting a list may widen its dialog: when it opens, or never while it is in use, where a dialog
// that jumped under the pointer would move the button the user was about to press.
enum class DialogGrowth { Widen, KeepSize };

// Fits each column of a dialog's list to its longest text, never narrower than `least` (the widths it was
// made with). With Widen, the dialog widens so that the columns show whole, up to nine tenths of its
// screen; it never gets narrower than it is. A list wider than its dialog scrolls sideways.
void FitDialogList(QDialog& dialog, QTreeWidget& list, const std::vector<int>& least,
                   DialogGrowth growth = DialogGrowth::Widen);

} // namespace qb
