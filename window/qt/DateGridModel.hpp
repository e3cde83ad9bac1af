#pragma once
// DateGridModel: a table model over one grid of frmCal, reading frmCal's own rows (no
// copy). Model columns 0 and 1 are the grid's columns 1 (date) and 2 (weekday); the
// grid's column 0, the row numbers 1 to n, is the vertical header. A day that is an
// exception to the weekly rule has its kind's background, and today's row is bold.

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "window/Controls.hpp"

namespace zev::window::qt {

class DateGridModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Marks the rows by `marks` when given (read again at each Sync); today's row is
    // drawn in a bold copy of `font`.
    explicit DateGridModel(const Grid& grid, const DayMarks* marks = nullptr,
                           QObject* parent = nullptr, QFont font = {});

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit of the remark column goes to the note editor, as the note of the row; the
    // model shows what the grid holds once it is read again.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Who takes the edited note of a row (1 to n).
    using NoteEditor = std::function<void(int32_t row, const std::string& note)>;
    void SetNoteEditor(NoteEditor editor) { editor_ = std::move(editor); }

    // Reads the grid again if its rows or headings changed since the last reading; the
    // model answers from what it last read until then.
    void Sync();

    // The text a date cell shows: the day as YYYY-MM-DD.
    static QString DateText(double day);
    // The background of a row of each kind; none for a plain row.
    static QColor Background(RowKind kind);

  private:
    const Grid& grid_;
    const DayMarks* marks_;
    NoteEditor editor_;
    DayMarks marked_;
    QFont bold_;
    uint64_t revision_;
    uint64_t layout_;
    int rows_;
    std::array<QString, 3> headings_;
};

}  // namespace zev::window::qt
