#pragma once

#include <vector>

class QDialog;
class QTreeWidget;

namespace qb {

// Fits each column of a dialog's list to its longest text, never narrower than `least` (the widths it was
// made with), and widens the dialog so that the columns show whole, up to nine tenths of its screen. The
// dialog never gets narrower than it is.
void FitDialogList(QDialog& dialog, QTreeWidget& list, const std::vector<int>& least);

} // namespace qb
