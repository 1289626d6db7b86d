#pragma once

// Drives the windows as a person does: mouse clicks at the places a person aims for, key presses and the
// toolbar's buttons. Tests use these rather than calling slots or setting check states, so that a window
// that lost its check boxes or its buttons fails them. A list's rows are read through the view's model:
// what it gives is what the view paints.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHeaderView>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

namespace qb::test {

// One row of a list as the user sees it: each cell's text, check box, font and colours. Empty (false) when
// the row was not found.
class ShownRow {
public:
    ShownRow() = default;
    ShownRow(QTreeView* view, const QModelIndex& index) : view_(view), index_(index.siblingAtColumn(0)) {}

    explicit operator bool() const { return view_ != nullptr && index_.isValid(); }
    QTreeView* View() const { return view_; }
    QModelIndex Index(int column = 0) const { return QModelIndex(index_).siblingAtColumn(column); }
    operator QModelIndex() const { return Index(); }

    QVariant data(int column, int role) const { return Index(column).data(role); }
    QString text(int column) const { return data(column, Qt::DisplayRole).toString(); }
    Qt::CheckState checkState(int column) const {
        return static_cast<Qt::CheckState>(data(column, Qt::CheckStateRole).toInt());
    }
    // The cell's own font, or the list's when the cell names none.
    QFont font(int column) const {
        const QVariant f = data(column, Qt::FontRole);
        return f.isValid() ? f.value<QFont>() : view_->font();
    }
    QBrush foreground(int column) const { return data(column, Qt::ForegroundRole).value<QBrush>(); }
    QBrush background(int column) const { return data(column, Qt::BackgroundRole).value<QBrush>(); }

private:
    QTreeView* view_ = nullptr;
    QPersistentModelIndex index_;
};

inline QModelIndex IndexOf(QTreeWidget* list, QTreeWidgetItem* item) {
    return item != nullptr ? list->indexFromItem(item) : QModelIndex();
}

// Where the list draws a row's check box, as its style lays the cell out.
inline QPoint CheckBoxCentre(QTreeView* list, const QModelIndex& index) {
    list->scrollTo(index);
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualRect(index.siblingAtColumn(0));
    option.rect.setWidth(list->columnWidth(0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay |
                      QStyleOptionViewItem::HasDecoration;
    option.decorationSize = list->iconSize().isValid() ? list->iconSize() : QSize(16, 16);
    option.text = index.siblingAtColumn(0).data().toString();
    option.checkState =
        static_cast<Qt::CheckState>(index.siblingAtColumn(0).data(Qt::CheckStateRole).toInt());
    option.widget = list;
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
}

// A left click on the row's check box.
inline void ClickCheckBox(QTreeView* list, const QModelIndex& index) {
    ASSERT_TRUE(index.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CheckBoxCentre(list, index));
}

// A left click in the middle of a row's cell: selects the row.
inline void ClickRow(QTreeView* list, const QModelIndex& index, int column = 1) {
    ASSERT_TRUE(index.isValid());
    list->scrollTo(index);
    const QRect rect = list->visualRect(index.siblingAtColumn(0));
    const int x = list->header()->sectionViewportPosition(column) + list->columnWidth(column) / 2;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(x, rect.center().y()));
}
inline void ClickRow(QTreeWidget* list, QTreeWidgetItem* item, int column = 1) {
    ClickRow(list, IndexOf(list, item), column);
}

// Makes the row current by clicking it, then presses the space bar: the way a keyboard user ticks a box.
inline void PressSpaceOn(QTreeView* list, const QModelIndex& index) {
    ClickRow(list, index);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space);
}

// A left click in the middle of a button (a toolbar button or one of the side buttons).
inline void Press(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}
// The push button of this object name in a dialog, pressed with the mouse.
inline void PressIn(QWidget* dialog, const char* name) {
    Press(dialog->findChild<QPushButton*>(QLatin1String(name)));
}

// A click on a column title.
inline void ClickHeader(QTreeView* list, int column) {
    QHeaderView* header = list->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// A right click on a column title: the press and the release, then the menu the release asks for.
inline void RightClickHeader(QTreeView* list, int column) {
    QHeaderView* header = list->header();
    const QPoint point(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                       header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::RightButton, {}, point);
    QTest::mouseRelease(header->viewport(), Qt::RightButton, {}, point);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, point, header->viewport()->mapToGlobal(point));
    QApplication::sendEvent(header->viewport(), &menuEvent);
}

// A right click in the list (over the row, or over its empty part when the index is not valid): the press
// selects the row, the release asks for the list's menu.
inline void RightClick(QTreeView* list, const QModelIndex& index) {
    QPoint point(list->viewport()->width() / 2, list->viewport()->height() - 2);
    if (index.isValid()) {
        list->scrollTo(index);
        point = QPoint(list->header()->sectionViewportPosition(1) + 4,
                       list->visualRect(index.siblingAtColumn(0)).center().y());
    }
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, point);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, point);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, point, list->viewport()->mapToGlobal(point));
    QApplication::sendEvent(list->viewport(), &menuEvent);
}

// The shown menu's item with this object name, clicked.
inline void ChooseMenuItem(QMenu* menu, const char* actionName) {
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->isVisible()) << "the menu is not open";
    QAction* action = menu->findChild<QAction*>(QLatin1String(actionName));
    if (action == nullptr) {
        for (QAction* candidate : menu->actions()) {
            if (candidate->objectName() == QLatin1String(actionName)) {
                action = candidate;
            }
        }
    }
    ASSERT_NE(action, nullptr) << actionName;
    ASSERT_TRUE(action->isEnabled()) << actionName << " is disabled";
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

// Runs `act` once the modal dialog is up, then lets exec() return if `act` left it open.
template <typename Dialog> void WhenShown(Dialog* dialog, std::function<void(Dialog*)> act) {
    QTimer::singleShot(0, dialog, [dialog, act] {
        act(dialog);
        if (dialog->isVisible()) {
            dialog->reject();
        }
    });
}
inline void WhenShown(QDialog* dialog, std::function<void()> act) {
    WhenShown<QDialog>(dialog, [act](QDialog*) { act(); });
}

} // namespace qb::test
