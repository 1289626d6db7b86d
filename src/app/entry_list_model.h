#pragma once

#include "app/list_rows.h"
#include "app/list_sort.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QSortFilterProxyModel>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

class QtIconSink;

// The main list's rows: one per entry of the inventory that is on the system or pending, each holding its
// record. The
// cells' texts, colours, icon and check box come from the row (data() reads nothing else), so that a
// refresh is one reset of the model and a paint costs only the rows in sight.
class EntryListModel : public QAbstractTableModel {
public:
    struct Row {
        ListRow shown;
        bool pending = false;     // a change not applied yet: drawn in bold; struck through when deleted
        bool addedByUser = false; // added since the last refresh: shown whatever node is selected
    };

    explicit EntryListModel(const QtIconSink& icons, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Every row anew, in inventory order.
    void Reset(std::vector<Row> rows);
    void Append(Row row);
    // The rows added since the last fill go by the tree's node like the others from now on.
    void ForgetAdded();
    void Remove(int row);
    const Row& At(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    // The row shows its record's new texts; its check box, memory and mark stay.
    void UpdateTexts(int row, const StartupItem& item);
    // Shows each row's state anew (its check box, whether it is deleted or pending, its Change cell); true
    // when any row changed.
    bool UpdateStates(const std::vector<RowState>& states);
    void SetTitles(const std::array<std::string, kColumnCount>& titles);
    // The font of rows with a change not applied yet; deleted ones are struck through besides.
    void SetBoldFont(const QFont& font) {
        bold_ = font;
        struck_ = font;
        struck_.setStrikeOut(true);
    }

    // Told when the user ticks or unticks a row's check box (a click, or the space bar).
    void OnCheckToggled(std::function<void(int row, bool checked)> told) { checkToggled_ = std::move(told); }

private:
    std::function<void(int, bool)> checkToggled_;
    const QtIconSink& icons_;
    std::vector<Row> rows_;
    std::array<QString, kColumnCount> titles_;
    QFont bold_;
    QFont struck_;
};

// The rows the location tree's node, the rating filter and "show only these" let through, in inventory
// order until a column title is clicked. A click sorts what is shown, stably: rows that compare equal keep
// the order they had.
class EntryListFilter : public QSortFilterProxyModel {
public:
    explicit EntryListFilter(QObject* parent = nullptr);

    void SetFilter(std::vector<std::string_view> labels, int ratingItem, bool changesOnly);
    // Back to inventory order, as a refresh shows the rows.
    void Unsort() { sort(-1); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    const EntryListModel& Rows() const { return static_cast<const EntryListModel&>(*sourceModel()); }

    std::vector<std::string_view> labels_;
    int ratingItem_ = 0;
    bool changesOnly_ = false;
};

} // namespace qb
