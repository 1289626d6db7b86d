#include "app/change_notice.h"

#include "baseline/change_watch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

namespace qb {

ChangeNotice::ChangeNotice(QWidget* parent) : QFrame(parent) {
    // An information bar, as Windows tools show one: pale yellow, above what it speaks of.
    setObjectName(QStringLiteral("PanelChanges"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xce));
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("LabelChanges"));
    text_->setWordWrap(true);
    layout->addWidget(text_, 1);
    const auto button = [&](const char* name, const QString& caption, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        layout->addWidget(b);
        return b;
    };
    showOnly_ = button("ButtonShowChanges", QStringLiteral("Show Only T&hese"),
                       QStringLiteral("List only the new, returned and changed entries"));
    showOnly_->setCheckable(true);
    showRemoved_ =
        button("ButtonShowRemoved", QStringLiteral("Remo&ved..."),
               QStringLiteral("Name the entries that are gone since you last accepted the setting"));
    disableReturned_ = button("ButtonDisableReturned", QStringLiteral("D&isable Returned"),
                              QStringLiteral("Disable the returned entries again (applied with Apply)"));
    QPushButton* accept = button("ButtonAcceptChanges", QStringLiteral("A&ccept"),
                                 QStringLiteral("Accept the startup setting as it is: the marks clear"));
    connect(showOnly_, &QPushButton::clicked, this, &ChangeNotice::ShowOnlyToggled);
    connect(showRemoved_, &QPushButton::clicked, this, &ChangeNotice::ShowRemovedClicked);
    connect(disableReturned_, &QPushButton::clicked, this, &ChangeNotice::DisableReturnedClicked);
    connect(accept, &QPushButton::clicked, this, &ChangeNotice::AcceptClicked);
    hide();
}

void ChangeNotice::Update(const ChangeCounts& counts, bool changesOnly) {
    if (counts.total() == 0) {
        showOnly_->setChecked(false);
        hide();
        return;
    }
    QStringList parts;
    if (counts.newEntries > 0) {
        parts << QStringLiteral("%1 new").arg(counts.newEntries);
    }
    if (counts.returned > 0) {
        parts << QStringLiteral("%1 returned").arg(counts.returned);
    }
    if (counts.changed > 0) {
        parts << QStringLiteral("%1 changed").arg(counts.changed);
    }
    if (counts.removed > 0) {
        parts << QStringLiteral("%1 removed").arg(counts.removed);
    }
    const QString entries = counts.total() == 1 ? QStringLiteral("entry") : QStringLiteral("entries");
    text_->setText(QStringLiteral("Since you last accepted the startup setting: %1 %2.")
                       .arg(parts.join(QStringLiteral(", ")), entries));
    disableReturned_->setVisible(counts.returned > 0);
    showRemoved_->setVisible(counts.removed > 0);
    // No row shows a removed entry: with nothing else, there is nothing to show only.
    showOnly_->setVisible(counts.marked() > 0);
    showOnly_->setChecked(changesOnly);
    show();
}

} // namespace qb
