#pragma once
// A year sheet (YearSheet.hpp) as a one-page A4 landscape year planner, drawn with
// QPainter: the months four across in three rows, each a small table of weeks from
// Monday with the days coloured by their marks, the exceptions to the weekly rule beside
// them, the legend and the calendar's range below those, the title and name on top.

#include <QPainter>
#include <QString>

#include "window/YearSheet.hpp"

namespace zev::window::qt {

// Draws the sheet on a page of `size` points.
void DrawYearSheet(QPainter& painter, const QSizeF& size, const YearSheet& sheet);

// Writes the sheet as a PDF file through QPdfWriter; the file is replaced only once the
// whole document is written. False with the reason in *problem when it cannot be.
bool WriteYearPdf(const YearSheet& sheet, const QString& file, QString* problem);

}  // namespace zev::window::qt
