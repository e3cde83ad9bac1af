#pragma once
// DateGridModel: a table model over one grid of frmCal, reading frmCal's own rows (no
// copy). Model columns 0 and 1 are the grid's columns 1 (date) and 2 (weekday); the
// grid's column 0, the row numbers 1 to n, is the vertical header.

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstdint>

#include "window/Controls.hpp"

namespace zev::window::qt {

class DateGridModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit DateGridModel(const Grid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Reads the grid again if its rows or headings changed since the last reading; the
    // model answers from what it last read until then.
    void Sync();

    // The text a date cell shows: the day as YYYY-MM-DD.
    static QString DateText(double day);

  private:
    const Grid& grid_;
    uint64_t revision_;
    uint64_t layout_;
    int rows_;
    std::array<QString, 3> headings_;
};

}  // namespace zev::window::qt
