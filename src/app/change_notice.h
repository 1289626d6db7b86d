#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace qb {

struct ChangeCounts;

// The notice above the list of entries that changed behind the user's back since the setting was last
// accepted: how many are new, returned, changed and removed, and the buttons to show only the marked ones,
// to name the removed ones, to disable the returned ones again, or to accept the setting as it is. It hides
// when nothing changed.
class ChangeNotice : public QFrame {
    Q_OBJECT

public:
    explicit ChangeNotice(QWidget* parent = nullptr);

    // Says what the counts are; `changesOnly` is whether the list shows only the marked entries.
    void Update(const ChangeCounts& counts, bool changesOnly);

signals:
    void ShowOnlyToggled(bool only);
    void DisableReturnedClicked();
    void AcceptClicked();
    void ShowRemovedClicked();

private:
    QLabel* text_ = nullptr;
    QPushButton* showOnly_ = nullptr;
    QPushButton* disableReturned_ = nullptr;
    QPushButton* showRemoved_ = nullptr;
};

} // namespace qb
