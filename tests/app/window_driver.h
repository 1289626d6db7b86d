#pragma once

// Drives the windows as a person does: mouse clicks at the places a person aims for, key presses and the
// toolbar's buttons. Tests use these rather than calling slots or setting check states, so that a window
// that lost its check boxes or its buttons fails them.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace qb::test {

// Where the list draws a row's check box, as its style lays the cell out.
inline QPoint CheckBoxCentre(QTreeWidget* list, QTreeWidgetItem* item) {
    list->scrollToItem(item);
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualItemRect(item);
    option.rect.setWidth(list->columnWidth(0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay |
                      QStyleOptionViewItem::HasDecoration;
    option.decorationSize = list->iconSize().isValid() ? list->iconSize() : QSize(16, 16);
    option.text = item->text(0);
    option.checkState = item->checkState(0);
    option.widget = list;
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
}

// A left click on the row's check box.
inline void ClickCheckBox(QTreeWidget* list, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CheckBoxCentre(list, item));
}

// A left click in the middle of a row's cell: selects the row.
inline void ClickRow(QTreeWidget* list, QTreeWidgetItem* item, int column = 1) {
    ASSERT_NE(item, nullptr);
    list->scrollToItem(item);
    const QRect rect = list->visualItemRect(item);
    const int x = list->header()->sectionViewportPosition(column) + list->columnWidth(column) / 2;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(x, rect.center().y()));
}

// Makes the row current by clicking it, then presses the space bar: the way a keyboard user ticks a box.
inline void PressSpaceOn(QTreeWidget* list, QTreeWidgetItem* item) {
    ClickRow(list, item);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space);
}

// A left click in the middle of a button (a toolbar button or one of the side buttons).
inline void Press(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// A click on a column title.
inline void ClickHeader(QTreeWidget* list, int column) {
    QHeaderView* header = list->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// A right click in the list (over the row, or over its empty part when item is null): the press selects
// the row, the release asks for the list's menu.
inline void RightClick(QTreeWidget* list, QTreeWidgetItem* item) {
    QPoint point(list->viewport()->width() / 2, list->viewport()->height() - 2);
    if (item != nullptr) {
        list->scrollToItem(item);
        point =
            QPoint(list->header()->sectionViewportPosition(1) + 4, list->visualItemRect(item).center().y());
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

} // namespace qb::test
