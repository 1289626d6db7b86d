#pragma once

// Drives the desktop tool's windows on Windows as a person does, beyond window_driver.h: check box
// indicators and text typed into a dialog's field. Modal dialogs run their own event loop, so what is to
// be done in one is queued beforehand (WhenModal) and runs once the dialog is up; a message box nobody
// expected fails the test and is closed, so that a test never hangs on it.

// Clicks on rows, check boxes and buttons are those of the window tests on every platform; the main list
// is a QTreeView, whose rows are read through its model (ShownRow) and clicked at their visualRect.
#include "app/window_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace qb::test {

// A click on a check box's indicator, where its style draws it (the widget may be wider than its text).
inline void ClickIndicator(QCheckBox* box) {
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isVisible()) << box->objectName().toStdString();
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

// Queued work for the modal dialogs to come, in order. Each step waits until a modal dialog other than
// the one the previous step saw is up, then runs; a step may open the next dialog itself.
class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;

    ModalScript() { Schedule(); }
    ~ModalScript() { EXPECT_TRUE(steps_.empty()) << steps_.size() << " dialog(s) never came up"; }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // `act` runs on the next modal dialog (not a message box: those are unexpected).
    void WhenModal(Step act) { steps_.push_back(std::move(act)); }

private:
    // A fresh single shot each time, taken before a step runs: a step that opens a dialog of its own waits
    // in that dialog's event loop, where the next poll must still come.
    void Schedule() { QTimer::singleShot(20, &context_, [this] { Poll(); }); }

    void Poll() {
        Schedule();
        // A dialog counts as handled while it stays up; shown again later, it is a new one.
        handled_.removeIf([](const QPointer<QWidget>& w) { return w.isNull() || !w->isVisible(); });
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ADD_FAILURE() << "unexpected message: " << box->text().toStdString();
            box->reject();
            return;
        }
        if (modal == nullptr || steps_.empty() || handled_.contains(modal)) {
            return;
        }
        handled_.append(modal);
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(modal);
        // A dialog the step left open would block the test: it is closed.
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) {
            dialog->reject();
        }
    }

    QObject context_;
    std::deque<Step> steps_;
    QList<QPointer<QWidget>> handled_;
};

} // namespace qb::test
