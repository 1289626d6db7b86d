#include "app/dialog_header.h"

namespace qb {

QLabel* MakeHeaderBand(QWidget* parent, const QString& text, const QColor& background,
                       const QColor& foreground, qreal fontScale) {
    auto* band = new QLabel(text, parent);
    band->setObjectName(QStringLiteral("LabelHeader"));
    band->setMargin(10);
    band->setAutoFillBackground(true);
    QPalette palette = band->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, foreground);
    band->setPalette(palette);
    QFont font = band->font();
    font.setPointSizeF(font.pointSizeF() * fontScale);
    font.setBold(true);
    band->setFont(font);
    return band;
}

} // namespace qb
