// DateGridModel: rows, headings and flags of a grid of frmCal, and the date text.

#include "window/qt/DateGridModel.hpp"

#include "window/qt/QtDate.hpp"

namespace zev::window::qt {

DateGridModel::DateGridModel(const Grid& grid, QObject* parent)
    : QAbstractTableModel(parent),
      grid_(grid),
      revision_(grid.Revision()),
      layout_(grid.Layout()),
      rows_(grid.RowCount()) {
    for (size_t i = 0; i < headings_.size(); ++i)
        headings_[i] = QString::fromStdString(grid.Headings[i]);
}

int DateGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int DateGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant DateGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.row() >= grid_.RowCount()) return {};
    if (role != Qt::DisplayRole) return {};
    const GridRow& row = grid_.Rows()[static_cast<size_t>(index.row())];
    return index.column() == 0 ? DateText(row.Day) : QString::fromStdString(row.Weekday);
}

QVariant DateGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Vertical) return section < rows_ ? QVariant(section + 1) : QVariant();
    return section < 2 ? QVariant(headings_[static_cast<size_t>(section) + 1]) : QVariant();
}

Qt::ItemFlags DateGridModel::flags(const QModelIndex& index) const {
    // Selectable for choosing a day, never editable: the date column is locked, and the
    // weekday column is the date's own.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void DateGridModel::Sync() {
    if (grid_.Layout() == layout_ && grid_.RowCount() > rows_) {
        // Rows appended (a generation showing its days): the view takes them alone.
        beginInsertRows({}, rows_, grid_.RowCount() - 1);
        rows_ = grid_.RowCount();
        revision_ = grid_.Revision();
        endInsertRows();
    } else if (grid_.Revision() != revision_) {
        beginResetModel();
        rows_ = grid_.RowCount();
        revision_ = grid_.Revision();
        layout_ = grid_.Layout();
        endResetModel();
    }
    for (size_t i = 0; i < headings_.size(); ++i) {
        const QString text = QString::fromStdString(grid_.Headings[i]);
        if (text == headings_[i]) continue;
        headings_[i] = text;
        if (i > 0)
            emit headerDataChanged(Qt::Horizontal, static_cast<int>(i) - 1,
                                   static_cast<int>(i) - 1);
    }
}

QString DateGridModel::DateText(double day) {
    return QDateOfOle(day).toString(QStringLiteral("yyyy-MM-dd"));
}

}  // namespace zev::window::qt
