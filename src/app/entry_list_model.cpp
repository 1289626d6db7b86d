#include "app/entry_list_model.h"

#include "app/app_icons.h"
#include "app/qt_text.h"
#include "app/rating_colours.h"
#include "inventory/row_texts.h"
#include "inventory/startup_location.h"
#include "knowledge/ratings.h"

#include <QBrush>
#include <algorithm>

namespace qb {

namespace {

QVariant Brush(const std::optional<Rgb>& colour) {
    return colour ? QVariant(QBrush(QColor(colour->red, colour->green, colour->blue))) : QVariant();
}

} // namespace

EntryListModel::EntryListModel(const QtIconSink& icons, QObject* parent)
    : QAbstractTableModel(parent), icons_(icons) {}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        // The unnamed default value of a key has no name of its own; the list calls it as the command
        // line does.
        return column == kNameColumn ? Q(ShownName(row.shown.caption)) : Q(row.shown.Cell(column));
    case Qt::DecorationRole:
        return column == kNameColumn ? QVariant(MarkedIcon(icons_.At(row.shown.iconIndex), row.shown.change))
                                     : QVariant();
    case Qt::CheckStateRole:
        return column == kNameColumn ? QVariant(row.shown.checked ? Qt::Checked : Qt::Unchecked) : QVariant();
    case Qt::FontRole:
        return row.pending ? QVariant(row.shown.deleted ? struck_ : bold_) : QVariant();
    case Qt::ForegroundRole:
        return Brush(StyleOfCell(row.shown, column).text);
    case Qt::BackgroundRole:
        return Brush(StyleOfCell(row.shown, column).background);
    default:
        return {};
    }
}

bool EntryListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != kNameColumn || role != Qt::CheckStateRole ||
        index.row() >= rowCount()) {
        return false;
    }
    Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (row.shown.deleted) {
        return false; // the space bar reaches here past the flags
    }
    const bool checked = value.toInt() == Qt::Checked;
    if (checked == row.shown.checked) {
        return true;
    }
    row.shown.checked = checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    if (checkToggled_) {
        checkToggled_(index.row(), checked);
    }
    return true;
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    // A deleted entry is neither enabled nor disabled until its delete is undone.
    const bool deleted =
        index.row() < rowCount() && rows_[static_cast<std::size_t>(index.row())].shown.deleted;
    return index.column() == kNameColumn && !deleted ? flags | Qt::ItemIsUserCheckable : flags;
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return titles_[static_cast<std::size_t>(section)];
}

void EntryListModel::Reset(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void EntryListModel::Append(Row row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void EntryListModel::ForgetAdded() {
    for (Row& row : rows_) {
        row.addedByUser = false;
    }
}

void EntryListModel::Remove(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void EntryListModel::UpdateTexts(int row, const StartupItem& item) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    ListRow& shown = rows_[static_cast<std::size_t>(row)].shown;
    shown.caption = item.Name;
    shown.commandCell = CommandCellText(item);
    shown.location = item.Location;
    shown.shownLocation = ShownLocation(item.Location);
    shown.rating = RatingText(item.Rating);
    shown.ratingValue = item.Rating;
    shown.iconIndex = item.IconIndex;
    shown.item = &item;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

bool EntryListModel::UpdateStates(const std::vector<RowState>& states) {
    int first = -1;
    int last = -1;
    for (std::size_t i = 0; i < rows_.size() && i < states.size(); ++i) {
        Row& row = rows_[i];
        const RowState now{row.shown.checked, row.shown.deleted, row.pending, row.shown.changeText};
        if (now != states[i]) {
            row.shown.checked = states[i].checked;
            row.shown.deleted = states[i].deleted;
            row.pending = states[i].pending;
            row.shown.changeText = states[i].changeText;
            first = first < 0 ? static_cast<int>(i) : first;
            last = static_cast<int>(i);
        }
    }
    if (first < 0) {
        return false;
    }
    emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
    return true;
}

void EntryListModel::SetTitles(const std::array<std::string, kColumnCount>& titles) {
    bool changed = false;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const QString title = Q(titles[i]);
        changed = changed || title != titles_[i];
        titles_[i] = title;
    }
    if (changed) {
        emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
    }
}

EntryListFilter::EntryListFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    // Rows stay where they are when their check box, texts or boldness change; only a refresh, a filter
    // change or a click on a title moves them.
    setDynamicSortFilter(false);
}

void EntryListFilter::SetFilter(std::vector<std::string_view> labels, int ratingItem, bool changesOnly) {
    labels_ = std::move(labels);
    ratingItem_ = ratingItem;
    changesOnly_ = changesOnly;
    // One new layout rather than a removal or an insertion per run of rows that changes sides: a filter
    // change on a long list moves thousands of such runs.
    invalidate();
}

bool EntryListFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const EntryListModel::Row& row = Rows().At(sourceRow);
    if (!RatingItemPasses(ratingItem_, row.shown.ratingValue)) {
        return false;
    }
    if (row.addedByUser) {
        return true;
    }
    return (!changesOnly_ || row.shown.change != ChangeMark::None) &&
           std::find(labels_.begin(), labels_.end(), std::string_view(row.shown.location)) != labels_.end();
}

bool EntryListFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const int column = left.column();
    const ListRow& a = Rows().At(left.row()).shown;
    const ListRow& b = Rows().At(right.row()).shown;
    const auto compare = column >= 0 && column < kColumnCount
                             ? kListColumns[static_cast<std::size_t>(column)].compare
                             : nullptr;
    return (compare != nullptr ? compare(a, b) : CompareCellTexts(a.Cell(column), b.Cell(column))) < 0;
}

} // namespace qb
