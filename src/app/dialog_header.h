#pragma once

#include <QColor>
#include <QLabel>

namespace qb {

// The band across the top of the tool's dialogs: the dialog's subject in bold, on its own colour.
QLabel* MakeHeaderBand(QWidget* parent, const QString& text, const QColor& background,
                       const QColor& foreground, qreal fontScale);

} // namespace qb
