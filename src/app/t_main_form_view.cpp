// How the main window fits its screen and its content: column widths, the tree's label hit area, the
// side pictures, cell tooltips, and the placement kept between runs.
#include "app/column_widths.h"
#include "app/entry_list_model.h"
#include "app/list_columns.h"
#include "app/t_main_form.h"
#include "changes/pending_changes.h"
#include "inventory/row_texts.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <cmath>

namespace qb {

namespace {

constexpr int kNarrowestColumn = 60;
constexpr int kMeasuredRows = 1000; // as a list view measures its content by default

// The width a cell needs to show its whole text, as the list's delegate lays it out (check box and icon
// included in the first column).
// With `bold`, as the cell of a pending change shows it.
int CellWidth(const QTreeView* view, const QModelIndex& index, bool bold = false) {
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.widget = view;
    const QVariant font = index.data(Qt::FontRole);
    option.font = font.isValid() ? font.value<QFont>() : view->font();
    option.font.setBold(option.font.bold() || bold);
    option.decorationSize = QSize(16, 16);
    return view->itemDelegate()->sizeHint(option, index).width();
}

} // namespace

bool TMainForm::OverNodeLabel(const QPoint& viewportPos) const {
    const QModelIndex index = treeViewMain_->indexAt(viewportPos);
    if (!index.isValid()) {
        return false;
    }
    // The node's picture and label: from the start of its cell to the end of its text.
    const QRect cell = treeViewMain_->visualRect(index);
    return viewportPos.x() >= cell.left() && viewportPos.x() < cell.left() + CellWidth(treeViewMain_, index);
}

int TMainForm::ContentWidth(int column) const {
    // The rows a list view measures for its column's size hint: all of them up to a thousand, otherwise the
    // thousand around the first row in sight.
    const int rows = filter_->rowCount();
    const int measured = std::min(rows, kMeasuredRows);
    const QModelIndex top = listViewFix_->indexAt(QPoint(0, 0));
    const int first = std::clamp((top.isValid() ? top.row() : 0) - measured / 2, 0, rows - measured);
    int widest = 0;
    for (int row = first; row < first + measured; ++row) {
        const QModelIndex index = filter_->index(row, column);
        const EntryListModel::Row& shown = model_->At(filter_->mapToSource(index).row());
        // What sets a cell's width: its text, the bold of a pending change, and in the first column whether
        // there is a program icon beside the check box.
        QString key = index.data().toString();
        key.prepend(QLatin1Char(shown.pending ? 'b' : 'n'))
            .prepend(
                QLatin1Char(column == kNameColumn && icons_.At(shown.shown.iconIndex).isNull() ? '-' : 'i'))
            .prepend(QChar(column));
        auto found = cellWidths_.constFind(key);
        if (found == cellWidths_.constEnd()) {
            found = cellWidths_.insert(key, CellWidth(listViewFix_, index));
        }
        widest = std::max(widest, *found);
    }
    return widest;
}

void TMainForm::FitColumns() {
    if (userColumns_ || listViewFix_ == nullptr) {
        return;
    }
    QHeaderView* header = listViewFix_->header();
    // Short texts (rating, memory) get what they need; the rest goes to the columns that share by what they
    // hold (name, command, place), and whatever is left over to the command.
    int available = listViewFix_->viewport()->width();
    std::vector<int> sharing;
    std::vector<int> sharingWants;
    std::optional<std::size_t> takesRest;
    std::vector<std::pair<int, int>> fitted;
    for (int column = 0; column < kColumnCount; ++column) {
        if (listViewFix_->isColumnHidden(column)) {
            continue;
        }
        const int wanted = std::max(header->sectionSizeHint(column), ContentWidth(column));
        switch (kListColumns[static_cast<std::size_t>(column)].width) {
        case ColumnWidth::FitText:
            available -= wanted;
            fitted.emplace_back(column, wanted);
            break;
        case ColumnWidth::TakesRest:
            takesRest = sharing.size();
            [[fallthrough]];
        case ColumnWidth::Share:
            sharing.push_back(column);
            sharingWants.push_back(wanted);
            break;
        }
    }
    const auto shared = ShareWidth(available, sharingWants, kNarrowestColumn,
                                   takesRest.value_or(sharing.empty() ? 0 : sharing.size() - 1));
    fitting_ = true;
    for (std::size_t i = 0; i < sharing.size() && i < shared.size(); ++i) {
        header->resizeSection(sharing[i], shared[i]);
    }
    for (const auto& [column, width] : fitted) {
        header->resizeSection(column, width);
    }
    fitting_ = false;
}

QString TMainForm::RowToolTip(const QPoint& viewportPos) const {
    const QString hint = listViewFix_->toolTip();
    const QModelIndex index = listViewFix_->indexAt(viewportPos);
    if (!index.isValid()) {
        return hint;
    }
    QStringList lines;
    if (CellWidth(listViewFix_, index) > listViewFix_->columnWidth(index.column())) {
        lines << index.data().toString(); // cut off in the list
    }
    const ListRow& row = model_->At(filter_->mapToSource(index).row()).shown;
    if (const auto reason = ChangeMarkReason(row.change); !reason.empty()) {
        lines << QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size()));
    }
    if (const StartupItem* record = row.item; record != nullptr && IsPending(*record)) {
        QStringList kinds;
        for (const ChangeKind kind : ChangeKinds(*record)) {
            const auto name = ChangeKindName(kind);
            kinds << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        }
        lines << (kinds.isEmpty() ? QStringLiteral("Changed, not applied yet")
                                  : QStringLiteral("Not applied yet: ") + kinds.join(QStringLiteral(", ")));
    }
    lines << hint;
    return lines.join(QLatin1Char('\n'));
}

void TMainForm::FitLeftPanel() {
    // All fourteen nodes in sight come first; the pictures below the filter make room for them.
    const int rows = static_cast<int>(
        treeViewMain_->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size());
    const int treeHeight =
        rows * std::max(1, treeViewMain_->sizeHintForRow(0)) + 2 * treeViewMain_->frameWidth();
    const QMargins margins = leftPanel_->layout()->contentsMargins();
    const int spacing = std::max(0, leftPanel_->layout()->spacing());
    int needed = margins.top() + margins.bottom() + treeHeight + spacing + ratingGroup_->sizeHint().height();
    std::size_t keep = 0;
    for (; keep < sideTiles_.size(); ++keep) {
        const int tile = spacing + sideTiles_[keep]->sizeHint().height();
        if (needed + tile > leftPanel_->height()) {
            break;
        }
        needed += tile;
    }
    for (std::size_t i = 0; i < sideTiles_.size(); ++i) {
        sideTiles_[i]->setVisible(i < keep);
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (fitToContent_) {
        fitToContent_ = false;
        // Once the layout has given every part its first size, so that what is cut can be measured.
        QTimer::singleShot(0, this, [this] { Guard([this] { GrowToFitContent(); }); });
    }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FitLeftPanel();
}

int TMainForm::ScalePercent() const {
    return static_cast<int>(std::lround(devicePixelRatioF() * 100));
}

void TMainForm::GrowToFitContent() {
    // What the first window needs to show without cutting: every node of the tree, and the list's columns
    // at their text, in bold as a change would show them, the command at least at its title. At a large
    // display scale two thirds of the screen is not that much.
    const int treeWanted =
        static_cast<int>(
            treeViewMain_->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size()) *
            std::max(1, treeViewMain_->sizeHintForRow(0)) +
        2 * treeViewMain_->frameWidth();
    int listWanted = listViewFix_->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < kColumnCount; ++column) {
        if (!listViewFix_->isColumnHidden(column)) {
            const int title = listViewFix_->header()->sectionSizeHint(column);
            int content = 3 * kNarrowestColumn;
            if (kListColumns[static_cast<std::size_t>(column)].width != ColumnWidth::TakesRest) {
                content = 0;
                for (int row = 0; row < std::min(filter_->rowCount(), kMeasuredRows); ++row) {
                    content = std::max(content, CellWidth(listViewFix_, filter_->index(row, column), true));
                }
            }
            listWanted += std::max(title, content);
        }
    }
    const int wider = std::max(0, listWanted - listViewFix_->viewport()->width());
    const int taller = std::max(0, treeWanted - treeViewMain_->height());
    if (wider == 0 && taller == 0) {
        return;
    }
    const QScreen* shown = screen();
    const QRect area = shown != nullptr ? shown->availableGeometry() : geometry();
    // The frame the window manager adds stays on the screen too.
    const QSize frame = frameGeometry().size() - size();
    const QSize grown(std::min(width() + wider, area.width() - frame.width()),
                      std::min(height() + taller, area.height() - frame.height()));
    resize(grown);
    move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

void TMainForm::RestoreSettings() {
    const WindowSettings settings = ReadWindowSettings(services_.registry, ScalePercent());
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // About two thirds of the screen, never smaller than the window was designed for (where it fits).
    const QSize size(std::min(area.width(), std::max(778, area.width() * 2 / 3)),
                     std::min(area.height(), std::max(593, area.height() * 2 / 3)));
    resize(size);
    move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    if (settings.placement) {
        const auto& p = *settings.placement;
        const QRect stored(p.left, p.top, p.width, p.height);
        // Only where a screen still shows its top edge, so that the window can be reached and moved.
        bool onScreen = false;
        for (const QScreen* s : QGuiApplication::screens()) {
            onScreen = onScreen || s->availableGeometry().intersects(QRect(p.left, p.top, p.width, 24));
        }
        if (onScreen) {
            setGeometry(stored);
            if (p.maximized) {
                setWindowState(windowState() | Qt::WindowMaximized);
            }
        }
    }
    fitToContent_ = !settings.placement;
    if (settings.sideSplitter.size() == 2) {
        sideSplitter_->setSizes({settings.sideSplitter[0], settings.sideSplitter[1]});
    } else {
        // Wide enough for the longest node's label ("RunOnce (32-bit)"), never narrower than designed.
        const QMargins margins = leftPanel_->layout()->contentsMargins();
        const int tree = static_cast<const QAbstractItemView*>(treeViewMain_)->sizeHintForColumn(0) +
                         2 * treeViewMain_->frameWidth() + margins.left() + margins.right() + 4;
        const int side = std::max(161, tree);
        sideSplitter_->setSizes({side, std::max(1, size.width() - side)});
    }
    if (settings.listSplitter.size() == 2) {
        listSplitter_->setSizes({settings.listSplitter[0], settings.listSplitter[1]});
    }
    keptHiddenColumns_.clear();
    for (const std::string& key : settings.hiddenColumns) {
        if (const auto column = ListColumnByKey(key)) {
            SetColumnShown(*column, false);
        } else {
            keptHiddenColumns_.push_back(key); // a column of another version: hidden there still
        }
    }
    // An earlier version kept fewer columns: new ones come last in the table and start at their width.
    if (!settings.columns.empty()) {
        fitting_ = true;
        for (int column = 0; column < kColumnCount; ++column) {
            const auto at = static_cast<std::size_t>(column);
            listViewFix_->header()->resizeSection(
                column, at < settings.columns.size() ? settings.columns[at] : kListColumns[at].initialWidth);
        }
        fitting_ = false;
        userColumns_ = true;
    }
}

void TMainForm::SaveSettings() {
    WindowSettings settings;
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    settings.placement =
        WindowSettings::Placement{normal.x(), normal.y(), normal.width(), normal.height(), isMaximized()};
    for (const int size : sideSplitter_->sizes()) {
        settings.sideSplitter.push_back(size);
    }
    for (const int size : listSplitter_->sizes()) {
        settings.listSplitter.push_back(size);
    }
    for (int column = 0; column < kColumnCount; ++column) {
        const ListColumnInfo& info = kListColumns[static_cast<std::size_t>(column)];
        const bool hidden = listViewFix_->isColumnHidden(column);
        if (hidden) {
            settings.hiddenColumns.emplace_back(info.key);
        }
        if (userColumns_) {
            // A hidden column has no width of its own to keep; it comes back at its first width.
            settings.columns.push_back(hidden ? info.initialWidth : listViewFix_->columnWidth(column));
        }
    }
    settings.hiddenColumns.insert(settings.hiddenColumns.end(), keptHiddenColumns_.begin(),
                                  keptHiddenColumns_.end());
    WriteWindowSettings(services_.registry, settings, ScalePercent());
}

} // namespace qb
