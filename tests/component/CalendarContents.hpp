#pragma once
// Contents of t_WorkCalendar for the tests that compare answers from memory with those of
// the statements: calendars as generation and saving leave them, the same spoilt as only
// a hand or a foreign program spoils them, and a table loose enough to hold those.

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/automation/OleDate.hpp"
#include "platform/data/Connection.hpp"
#include "tests/support/TestDatabase.hpp"

namespace zev::test {

// One row of t_WorkCalendar: a day (days after the calendar's first) or NULL, a number
// or NULL.
struct CalendarRow {
    std::optional<int> day;
    std::optional<int64_t> number;
};

// A calendar as generation and saving leave it: weekends resting, work days numbered
// 1..N in date order (or from another first number).
inline std::vector<CalendarRow> SavedCalendarRows(double firstDay, int days,
                                                  int64_t firstNumber = 1) {
    std::vector<CalendarRow> rows;
    int64_t number = firstNumber - 1;
    for (int d = 0; d < days; ++d) {
        const int weekday = automation::OleWeekday(firstDay + d);
        rows.push_back({d, weekday == 1 || weekday == 7 ? 0 : ++number});
    }
    return rows;
}

// The saved calendar spoilt as only a hand or a foreign program spoils it: numbers
// skipped and repeated, days swapped out of date order, days missing and doubled,
// numbers outside 32 bits, below 1 or NULL, rows without a day.
inline std::vector<CalendarRow> SpoiltCalendarRows(double firstDay, uint32_t seed, int days) {
    std::mt19937 random(seed);
    auto chance = [&](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    std::vector<CalendarRow> rows;
    int64_t number = 0;
    for (int d = 0; d < days; ++d) {
        if (chance(8)) continue;  // a day missing
        const int weekday = automation::OleWeekday(firstDay + d);
        if (weekday == 1 || weekday == 7) {
            rows.push_back({d, 0});
            continue;
        }
        number += chance(15) ? 2 : chance(15) ? 0 : 1;  // a gap, a repeat
        rows.push_back({d, std::max<int64_t>(number, 1)});
        if (chance(6)) rows.push_back({d, number + 3});  // the day twice
    }
    for (int swaps = 0; swaps < 2 && rows.size() > 2; ++swaps) {
        std::uniform_int_distribution<size_t> pick(0, rows.size() - 1);
        std::swap(rows[pick(random)].number, rows[pick(random)].number);
    }
    const int64_t odd[] = {2147483647, 3000000000, -5, -2147483648LL, 0};
    for (int64_t n : odd) {
        if (chance(20) && !rows.empty()) {
            rows[std::uniform_int_distribution<size_t>(0, rows.size() - 1)(random)].number = n;
        }
    }
    if (chance(50)) rows.push_back({std::nullopt, number + 1});  // a number without a day
    if (chance(50)) rows.push_back({std::nullopt, std::max<int64_t>(number / 2, 1)});
    if (chance(30) && !rows.empty()) rows.front().number = std::nullopt;
    std::shuffle(rows.begin(), rows.end(), random);  // the engine's order is not the days'
    return rows;
}

// The table without the keys and checks of the suite's schema, so that it can hold what a
// foreign program might write: NULL days and numbers, a day twice, numbers beyond 32 bits.
// On the server the suite's triggers stay, and with them the stamp.
inline void LoosenCalendarTable(Backend backend, data::Connection& connection) {
    if (backend == Backend::SQLite) {
        connection.Execute("DROP TABLE t_WorkCalendar");
        connection.Execute(
            "CREATE TABLE t_WorkCalendar (FInterID INTEGER, FDay DATE, FDayID INTEGER, "
            "FWeekID INTEGER, FMonthID INTEGER, FYearID INTEGER)");
    } else {
        connection.Execute("ALTER TABLE t_WorkCalendar DROP CONSTRAINT t_workcalendar_pkey");
        connection.Execute("ALTER TABLE t_WorkCalendar ALTER COLUMN FDay DROP NOT NULL");
        connection.Execute("ALTER TABLE t_WorkCalendar ALTER COLUMN FInterID TYPE BIGINT");
        connection.Execute("ALTER TABLE t_WorkCalendar ALTER COLUMN FInterID DROP NOT NULL");
    }
}

// Replaces the table's rows with `rows`, days counted from `firstDay`, in one transaction.
inline void ReplaceCalendarRows(data::Connection& connection, double firstDay,
                                const std::vector<CalendarRow>& rows) {
    std::string batch = "DELETE FROM t_WorkCalendar";
    for (const CalendarRow& row : rows) {
        batch += "\r\nINSERT INTO t_WorkCalendar(FInterID,FDay) VALUES (" +
                 (row.number ? std::to_string(*row.number) : "NULL") + "," +
                 (row.day ? "'" + automation::FormatIsoDate(firstDay + *row.day) + "'" : "NULL") +
                 ")";
    }
    connection.Execute("BEGIN TRANSACTION");
    connection.Execute(batch);
    connection.Execute("COMMIT");
}

}  // namespace zev::test
