#pragma once
// The colours of a year sheet's marks, which the PDF year planner and the window's year
// view share: a fill (transparent for none), the ink of the day's number, and whether the
// number is bold.

#include <QColor>

#include "window/YearSheet.hpp"

namespace zev::window::qt {

struct MarkStyle {
    QColor fill;
    QColor ink;
    bool bold;
};

inline MarkStyle StyleOf(DayMark mark) {
    switch (mark) {
        case DayMark::Rest:
            return {QColor(0xF8, 0xD0, 0xD0), QColor(0xA6, 0x1B, 0x1B), false};
        case DayMark::Holiday:
            return {QColor(0xE3, 0xB7, 0xE8), QColor(0x6A, 0x1B, 0x7A), true};
        case DayMark::WorkedWeekend:
            return {QColor(0xC9, 0xE7, 0xC1), QColor(0x1E, 0x6B, 0x1E), true};
        case DayMark::Outside:
            return {Qt::transparent, QColor(0xC0, 0xC0, 0xC0), false};
        default:
            return {Qt::transparent, QColor(0x22, 0x22, 0x22), false};
    }
}

}  // namespace zev::window::qt
