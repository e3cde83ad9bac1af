// DateGridModel: rows, headings and flags of a grid of frmCal, and the date text.

#include "window/qt/DateGridModel.hpp"

#include <utility>

#include "window/qt/QtDate.hpp"

namespace zev::window::qt {

DateGridModel::DateGridModel(const Grid& grid, const DayMarks* marks, QObject* parent, QFont font)
    : QAbstractTableModel(parent),
      grid_(grid),
      marks_(marks),
      marked_(marks != nullptr ? *marks : DayMarks{}),
      bold_(std::move(font)),
      revision_(grid.Revision()),
      layout_(grid.Layout()),
      rows_(grid.RowCount()) {
    for (size_t i = 0; i < headings_.size(); ++i)
        headings_[i] = QString::fromStdString(grid.Headings[i]);
    bold_.setBold(true);
}

int DateGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int DateGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant DateGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.row() >= grid_.RowCount()) return {};
    const GridRow& row = grid_.Rows()[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == 0) return DateText(row.Day);
            return row.Note.empty() ? QString::fromStdString(row.Weekday)
                                    : QString::fromStdString(row.Weekday + "  " + row.Note);
        case Qt::EditRole:
            return index.column() == 0 ? DateText(row.Day) : QString::fromStdString(row.Note);
        case Qt::ToolTipRole:
            // A long note the column cuts off reads whole here.
            return index.column() == 1 && !row.Note.empty() ? QString::fromStdString(row.Note)
                                                            : QVariant();
        case Qt::BackgroundRole: {
            if (marks_ == nullptr) return {};
            const QColor color = Background(KindOfRow(row.Day, grid_.RestDays, marked_));
            return color.isValid() ? QVariant(color) : QVariant();
        }
        case Qt::FontRole:
            return marks_ != nullptr && IsTodayRow(row.Day, marked_) ? QVariant(bold_) : QVariant();
        default:
            return {};
    }
}

QColor DateGridModel::Background(RowKind kind) {
    switch (kind) {
        case RowKind::RestException:
            return QColor(255, 214, 214);
        case RowKind::WorkedWeekend:
            return QColor(214, 240, 204);
        case RowKind::Plain:
            break;
    }
    return {};
}

QVariant DateGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Vertical) return section < rows_ ? QVariant(section + 1) : QVariant();
    return section < 2 ? QVariant(headings_[static_cast<size_t>(section) + 1]) : QVariant();
}

Qt::ItemFlags DateGridModel::flags(const QModelIndex& index) const {
    // Selectable for choosing a day. The date column is locked; the remark column's note
    // part is edited in place when the window allows it.
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == 1 && grid_.NotesEditable && editor_ ? flags | Qt::ItemIsEditable
                                                                 : flags;
}

bool DateGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || index.row() >= rows_) {
        return false;
    }
    editor_(index.row() + 1, value.toString().toStdString());
    return true;
}

void DateGridModel::Sync() {
    if (grid_.Layout() == layout_ && grid_.RowCount() > rows_) {
        // Rows appended (a generation showing its days): the view takes them alone.
        beginInsertRows({}, rows_, grid_.RowCount() - 1);
        rows_ = grid_.RowCount();
        revision_ = grid_.Revision();
        endInsertRows();
    } else if (grid_.Layout() == layout_ && grid_.RowCount() == rows_ &&
               grid_.Revision() != revision_) {
        // The same rows with other texts (a note edited): redrawn, not reset, so that the
        // view keeps its place.
        revision_ = grid_.Revision();
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
    } else if (grid_.Revision() != revision_) {
        beginResetModel();
        rows_ = grid_.RowCount();
        revision_ = grid_.Revision();
        layout_ = grid_.Layout();
        endResetModel();
    }
    if (marks_ != nullptr && *marks_ != marked_) {
        marked_ = *marks_;
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
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
