#pragma once
// The one adapter between the window's OLE dates and Qt's QDate, over the date bridge of
// OleDate.hpp (its inline part, so the Qt module links nothing of the other layers).

#include <QDate>

#include <chrono>

#include "platform/automation/OleDate.hpp"

namespace zev::window::qt {

// The QDate of a civil day, and back.
inline QDate QDateOfDay(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    return QDate(static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                 static_cast<int>(static_cast<unsigned>(ymd.day())));
}
inline std::chrono::sys_days DayOfQDate(const QDate& date) {
    return std::chrono::sys_days{std::chrono::year{date.year()} /
                                 std::chrono::month{static_cast<unsigned>(date.month())} /
                                 std::chrono::day{static_cast<unsigned>(date.day())}};
}

// The QDate of the day of an OLE date; an invalid QDate for a value that is no date.
inline QDate QDateOfOle(double date) {
    const std::optional<int32_t> serial = automation::TryOleDaySerial(date);
    return serial ? QDateOfDay(automation::DayOfSerial(*serial)) : QDate();
}
// The OLE date of the midnight that starts a QDate's day.
inline double OleOfQDate(const QDate& date) {
    return automation::OleFromDay(DayOfQDate(date));
}

}  // namespace zev::window::qt
