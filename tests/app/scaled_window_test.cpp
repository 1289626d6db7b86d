// The main window on a screen at a display scale of 150 %: the first window shows its content uncut, and
// the place it is left at is kept for this scale apart from the one of 100 %.
#include "app/window_settings.h"
#include "main_window_fixture.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace qb {
namespace {

// Waits until the window has grown to fit (it does so once the first layout is done), for at most a second.
void Settle(test::MainWindow& w) {
    QSize last;
    for (int pass = 0; pass < 100 && last != w.form->size(); ++pass) {
        last = w.form->size();
        QTest::qWait(10);
    }
}

TEST(ScaledWindow, TheFirstWindowShowsEveryNodeAndColumnUncutWithinTheScreen) {
    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.5);
    test::DemoMachine demo;
    test::MainWindow w(demo.System());
    Settle(w);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.contains(w.form->frameGeometry())) << area.width() << "x" << area.height();
    EXPECT_FALSE(w.Tree()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(w.Tree()->horizontalScrollBar()->isVisible());

    // Each column at least as wide as its title and, but for the command, as its widest cell.
    QHeaderView* header = w.List()->header();
    std::vector<std::string> cut;
    for (int column = 0; column < header->count(); ++column) {
        const int wanted =
            std::max(header->sectionSizeHint(column),
                     column == 1 ? 0 : static_cast<QAbstractItemView*>(w.List())->sizeHintForColumn(column));
        if (header->sectionSize(column) < wanted) {
            cut.push_back(w.HeaderText(column).toStdString() + " " +
                          std::to_string(header->sectionSize(column)) + " < " + std::to_string(wanted));
        }
    }
    EXPECT_EQ(cut, std::vector<std::string>{});
}

TEST(ScaledWindow, ThePlacementIsKeptForEachScale) {
    test::DemoMachine demo;
    Registry& registry = demo.System().Services().registry;
    WindowSettings atFullSize;
    atFullSize.placement = WindowSettings::Placement{100, 80, 777, 593, false};
    ASSERT_TRUE(WriteWindowSettings(registry, atFullSize, 100));
    QRect left;
    {
        test::MainWindow w(demo.System());
        Settle(w);
        EXPECT_GT(w.form->width(), 777) << "the placement of 100 % is not this scale's";
        w.form->setGeometry(40, 30, 900, 600);
        QApplication::processEvents();
        left = w.form->geometry();
        EXPECT_TRUE(w.form->close());
    }
    EXPECT_EQ(ReadWindowSettings(registry, 100).placement, atFullSize.placement);
    EXPECT_EQ(ReadWindowSettings(registry, 150).placement,
              (WindowSettings::Placement{left.x(), left.y(), left.width(), left.height(), false}));
    demo.Reopen();
    test::MainWindow again(demo.System());
    Settle(again);
    EXPECT_EQ(again.form->geometry(), left);
}

} // namespace
} // namespace qb
