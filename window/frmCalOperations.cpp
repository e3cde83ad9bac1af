// frmCal's operations on the calendar: generation with its display pass, the day swap
// with the scheduling-use check, the save, and leaving. Each returns its outcome; the
// button handlers in frmCal.cpp show it.

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "component/CalendarWrite.hpp"
#include "component/WeekendRule.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/ui/UserInterface.hpp"
#include "window/FrmCalDays.hpp"
#include "window/frmCal.hpp"

namespace zev::window {
namespace {

using component::Outcome;
using host::MMTS::LoadLocalText;

constexpr const char* kLeaveQuestion =
    "工作日历已做过改动，现在退出将放弃本次所做的工作，是否仍要退出？";
constexpr const char* kStartDaySwap = "工厂日历起始日不能被置换为休息日。";
constexpr const char* kPastDaySwap = "被置换的日期不能早于或等于当前系统日期。";
constexpr const char* kScheduledDaySwap = "此日期已经作过生产排产或生产汇报，不能置换为休息日。";
constexpr const char* kStartNotBeforeEnd = "工厂日历起始日必须早于日历的结束日";
constexpr const char* kDayNotInCalendar = "日期不在工厂日历中";

// The calendar's copy for the rest of the suite, calendar number 999, made anew from
// t_WorkCalendar after every save.
constexpr const char* kMultiCalendarRefresh =
    "Delete from t_mutiworkcal where FCalID=999 \r\n insert t_mutiworkcal select "
    "finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from t_workcalendar";
// A batch of numbering statements is sent once it is longer than this, so that each
// Execute carries about a thousand characters and no statement is split.
constexpr size_t kBatchLength = 1000;

// Sends one UPDATE per row of `grid`, in row order, in batches of just over kBatchLength
// characters: FInterID 0 for every rest day, the row number for every work day.
void SendNumbering(data::Connection& connection, const Grid& grid, bool workDays) {
    std::string batch;
    const int32_t rows = grid.RowCount();
    for (int32_t r = 1; r <= rows; ++r) {
        batch += "UPDATE t_WorkCalendar SET FInterID=";
        batch += workDays ? std::to_string(r) : "0";
        batch += " WHERE FDay='";
        batch += automation::FormatIsoDate(grid.Row(r).Day);
        batch += "'\r\n";
        if (automation::Trim(batch, " ").size() > kBatchLength) {
            connection.Execute(batch);
            batch.clear();
        }
    }
    if (!automation::Trim(batch, " ").empty()) connection.Execute(batch);
}

// Records in `write` a change of each day whose kind differs between `before` and
// `after`, the days of both in date order.
void RecordTurns(component::CalendarWrite& write,
                 const std::vector<std::pair<double, bool>>& before,
                 const std::vector<std::pair<double, bool>>& after, const std::string& program) {
    const auto word = [](bool rest) { return std::string(rest ? "rest" : "work"); };
    size_t b = 0;
    for (const auto& [day, rest] : after) {
        while (b < before.size() && before[b].first < day)
            ++b;
        if (b == before.size() || before[b].first != day || before[b].second == rest) continue;
        write.Record({"swap", day, word(before[b].second), word(rest), {}, program});
    }
}

// Marks a flag for the lifetime of a scope.
class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

  private:
    bool& flag_;
};

}  // namespace

Outcome frmCal::GenerateCalendar() {
    try {
        const std::shared_ptr<ui::UserInterface> ui = ui::Current();
        double startDay = dtStartDay.Value;
        if (component::WeekendRule{chkSatNotWork.Value == 1, chkSunNotWork.Value == 1}.IsRestDay(
                startDay)) {
            return Outcome::Refused(component::kRestDayStart);
        }
        // The calendar ends three years after the current period begins: formed, and the
        // start day checked against it, before anything is touched.
        double endDay =
            days::FirstDayOfPeriod(int64_t{state_.CurrentYear} + 3, state_.CurrentPeriod);
        if (automation::OleDaySerial(startDay) >= automation::OleDaySerial(endDay)) {
            return Outcome::Refused(kStartNotBeforeEnd, ": " + automation::FormatIsoDate(endDay));
        }
        cmdSave.Enabled = false;
        ui->SetMousePointer(ui::vbHourglass);
        const automation::VBool satNotWork = state_.SatNotWork;
        const automation::VBool sunNotWork = state_.SunNotWork;
        std::string errorText;
        bool made = false;
        std::exception_ptr failure;
        try {
            // The old calendar goes and the generator's new one comes in one write, and
            // readers see the old calendar until both are committed: the generator, called
            // inside it, writes in it on this connection, or takes it over on a connection
            // of its own, its transaction then beginning with the deletion.
            data::Connection& connection = component::mdlCal::Connection(state_);
            component::CalendarWrite write(
                connection, component::CalendarWrite::Deferred{{" DELETE FROM t_WorkCalendar "}});
            state_.SunNotWork = automation::ToVBool(chkSunNotWork.Value == 1);
            state_.SatNotWork = automation::ToVBool(chkSatNotWork.Value == 1);
            {
                const std::shared_ptr<host::IWorkCal> generator =
                    automation::CreateObjectAs<host::IWorkCal>(host::progid::kWorkCal);
                made = automation::CBool(generator->InitCal(host::MMTS::GetPropsString(), startDay,
                                                            endDay, state_.SatNotWork,
                                                            state_.SunNotWork, errorText));
            }
            if (made) write.Commit();
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure || !made) {
            // Nothing was kept: the rules are as they were and Save is at hand again.
            state_.SatNotWork = satNotWork;
            state_.SunNotWork = sunNotWork;
            cmdSave.Enabled = true;
            if (failure) std::rethrow_exception(failure);
            // The generator's own text, as it gave it; shown before the pointer is reset.
            return Outcome::FailedSaying(std::move(errorText));
        }
        // The generator may have moved the days it was given; the grids show what it made.
        DisplayPass(startDay, endDay);
        filled_ = days::KindsOf(sprWork, sprNotWork);
        Marks.SatNotWork = state_.SatNotWork != 0;
        Marks.SunNotWork = state_.SunNotWork != 0;
        tabCal.Tabs[0].Enabled = true;
        tabCal.Tabs[1].Enabled = true;
        dtStartDay.Enabled = false;
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
        state_.IsSetWorkCalendar = automation::kTrue;
        // Notes kept for days of the new calendar show with them; Save was at hand, so
        // the user may change the calendar.
        sprWork.NotesEditable = sprNotWork.NotesEditable = LoadNotes();
        state_.CalChanged = automation::kFalse;
        state_.WeekendChanged = automation::kFalse;
        ui->SetMousePointer(ui::vbDefault);
        return Outcome::Done();
    } catch (...) {
        return Outcome::FailedNow();
    }
}

void frmCal::DisplayPass(double startDay, double endDay) {
    const ScopedFlag passing(displayPass_);
    const std::array<std::string, 7> weekdays = days::WeekdayNames();
    // The rule handed to the generator, whatever the boxes show meanwhile.
    const component::WeekendRule rule{state_.SatNotWork != 0, state_.SunNotWork != 0};
    // A pass that failed before left its rows; they are not shown twice.
    sprWork.Clear();
    sprNotWork.Clear();
    const std::shared_ptr<ui::UserInterface> ui = ui::Current();
    const double first = automation::OleDatePart(startDay);
    const int64_t count =
        int64_t{automation::OleDaySerial(endDay)} - automation::OleDaySerial(startDay);
    for (int64_t n = 1; n <= count; ++n) {
        // The window repaints and answers the planner between days.
        ui->DoEvents();
        const double day = first + static_cast<double>(n - 1);
        Grid& grid = rule.IsRestDay(day) ? sprNotWork : sprWork;
        grid.Append({day, days::WeekdayOf(day, weekdays)});
    }
}

Outcome frmCal::SwapDay() {
    try {
        if (tabCal.Tab != 0 && tabCal.Tab != 1) return Outcome::Unchanged();
        // Tab 0 turns a work day into a rest day, tab 1 a rest day into a work day.
        const Grid& source = tabCal.Tab == 0 ? sprWork : sprNotWork;
        if (source.RowCount() == 0) return Outcome::Unchanged();
        return TurnDays({source.Row(source.ActiveRow).Day}, false);
    } catch (...) {
        return Outcome::FailedNow();
    }
}

Outcome frmCal::SwapDays(const std::vector<double>& days) {
    try {
        if (days.empty()) return Outcome::Unchanged();
        return TurnDays(days, true);
    } catch (...) {
        return Outcome::FailedNow();
    }
}

Outcome frmCal::TurnDays(const std::vector<double>& chosen, bool nameDay) {
    for (const double day : chosen) {
        const std::string named = nameDay ? ": " + automation::FormatIsoDate(day) : std::string();
        const int32_t workRow = sprWork.SortedRowOf(day);
        if (workRow == 0 && sprNotWork.SortedRowOf(day) == 0) {
            return Outcome::Refused(kDayNotInCalendar, named);
        }
        const bool toRest = workRow != 0;
        if (toRest && workRow == 1) return Outcome::Refused(kStartDaySwap, named);
        if (day <= state_.ServerDate) return Outcome::Refused(kPastDaySwap, named);
        if (toRest && IsDayScheduled(day)) return Outcome::Refused(kScheduledDaySwap, named);
    }
    MoveDays(chosen);
    state_.CalChanged = automation::kTrue;
    cmdSave.Enabled = true;
    return Outcome::Done();
}

void frmCal::MoveDays(const std::vector<double>& chosen) {
    // All that can fail comes before the first change, so that a failure leaves every day
    // in its grid: the new rows and the room for them in their targets.
    const std::array<std::string, 7> weekdays = days::WeekdayNames();
    std::vector<std::pair<bool, GridRow>> moves;  // whether it goes to rest, its new row
    moves.reserve(chosen.size());
    size_t toRest = 0;
    for (const double day : chosen) {
        const int32_t workRow = sprWork.SortedRowOf(day);
        const Grid& source = workRow != 0 ? sprWork : sprNotWork;
        const int32_t row = workRow != 0 ? workRow : sprNotWork.SortedRowOf(day);
        moves.emplace_back(workRow != 0,
                           GridRow{day, days::WeekdayOf(day, weekdays), source.Row(row).Note});
        toRest += workRow != 0 ? 1 : 0;
    }
    // A few days move row by row; many (a holiday list, a rule over centuries) are merged
    // into new grids at once, each row copied once instead of once per day moved.
    constexpr size_t kMovedRowByRow = 16;
    if (moves.size() <= kMovedRowByRow) {
        sprNotWork.ReserveMore(toRest);
        sprWork.ReserveMore(moves.size() - toRest);
        for (auto& [rest, moved] : moves) {
            Grid& source = rest ? sprWork : sprNotWork;
            Grid& target = rest ? sprNotWork : sprWork;
            source.RemoveRow(source.SortedRowOf(moved.Day));
            target.InsertRow(target.RowFrom(moved.Day), std::move(moved));
        }
        return;
    }
    std::sort(moves.begin(), moves.end(),
              [](const auto& a, const auto& b) { return a.second.Day < b.second.Day; });
    // The rows a grid keeps, and those it takes from the other, in date order.
    const auto rebuilt = [&](const Grid& grid, bool takesRest) {
        std::vector<GridRow> rows;
        rows.reserve(grid.Rows().size() + moves.size());
        auto taken = moves.begin();
        const auto takeUpTo = [&](double day) {
            for (; taken != moves.end() && taken->second.Day < day; ++taken) {
                if (taken->first == takesRest) rows.push_back(taken->second);
            }
        };
        for (const GridRow& row : grid.Rows()) {
            takeUpTo(row.Day);
            const bool leaves = taken != moves.end() && taken->second.Day == row.Day;
            if (!leaves) rows.push_back(row);
        }
        takeUpTo(std::numeric_limits<double>::infinity());
        return rows;
    };
    std::vector<GridRow> rest = rebuilt(sprNotWork, true);
    std::vector<GridRow> work = rebuilt(sprWork, false);
    sprNotWork.ReplaceRows(std::move(rest));
    sprWork.ReplaceRows(std::move(work));
}

bool frmCal::IsDayScheduled(double day) {
    data::Connection& connection = component::mdlCal::Connection(state_);
    data::Recordset cycle = connection.Execute(
        "SELECT FValue FROM t_SystemProfile WHERE FCategory='IC' AND FKey='PlanCycle'");
    if (cycle.Eof()) return false;
    // The cycle is stored as the period word of the user's language.
    const bool byDay = automation::CStr(cycle.Fields("FValue").Value()) == LoadLocalText("天", 0);
    cycle.Close();
    if (!byDay) return false;
    data::Recordset period = connection.Execute("SELECT FDayID FROM t_WorkCalendar WHERE FDay='" +
                                                automation::FormatIsoDate(day) + "'");
    const int32_t dayId = automation::CLng(period.Fields(0).Value());
    period.Close();
    data::Recordset lines = connection.Execute("SELECT * FROM t_WOScheduleDetail WHERE FSeqID=" +
                                               std::to_string(dayId));
    const bool scheduled = !lines.Eof();
    lines.Close();
    return scheduled;
}

Outcome frmCal::SaveCalendar() {
    cmdSave.Enabled = false;
    try {
        data::Connection& connection = component::mdlCal::Connection(state_);
        const std::shared_ptr<ui::UserInterface> ui = ui::Current();
        // One write: no reader sees half a numbering, no other writer changes the calendar
        // between the reading below and the commit, and a failure undoes it all.
        component::CalendarWrite write(connection);
        // The grids to save and show: the window's own, or, when another writer has
        // changed the calendar since they were filled, the calendar as it now stands with
        // the planner's changes applied.
        std::optional<std::pair<Grid, Grid>> merged;
        std::vector<std::pair<double, bool>> before;  // the calendar merged into
        if (state_.CalChanged) {
            ui->SetMousePointer(ui::vbHourglass);
            std::vector<std::pair<double, bool>> now = ReadKinds();
            if (now != filled_) {
                Grid work;
                Grid notWork;
                before = now;
                Outcome applied = MergePending(std::move(now), work, notWork);
                if (!applied.IsDone()) {
                    ui->SetMousePointer(ui::vbDefault);
                    cmdSave.Enabled = true;
                    return applied;
                }
                merged.emplace(std::move(work), std::move(notWork));
            }
            // Rest days first, then the work days numbered by their rows.
            SendNumbering(connection, merged ? merged->second : sprNotWork, false);
            SendNumbering(connection, merged ? merged->first : sprWork, true);
            ui->SetMousePointer(ui::vbDefault);
        }
        connection.Execute(kMultiCalendarRefresh);
        if (state_.CalChanged) {
            // One history row per day whose kind the save changed.
            RecordTurns(write, merged ? before : filled_,
                        merged ? days::KindsOf(merged->first, merged->second)
                               : days::KindsOf(sprWork, sprNotWork),
                        state_.SystemName);
            // The notes the planner changed, in the same write: a note refused refuses the
            // save, and nothing of it is kept.
            Outcome notes = WriteNotes(write, merged ? merged->first : sprWork,
                                       merged ? merged->second : sprNotWork);
            if (!notes.IsDone()) {
                cmdSave.Enabled = true;
                return notes;
            }
        }
        write.Commit();
        if (merged) {
            sprWork.ReplaceRows(merged->first.Rows());
            sprNotWork.ReplaceRows(merged->second.Rows());
        }
        if (state_.CalChanged) {
            filled_ = days::KindsOf(sprWork, sprNotWork);
            notesFilled_.clear();
            for (const Grid* grid : {&sprWork, &sprNotWork}) {
                for (const GridRow& row : grid->Rows())
                    if (!row.Note.empty()) notesFilled_.emplace(row.Day, row.Note);
            }
        }
        state_.CalChanged = automation::kFalse;
        return Outcome::Done();
    } catch (...) {
        // Nothing was saved: the changes stay pending and Save stays at hand.
        cmdSave.Enabled = true;
        return Outcome::FailedNow();
    }
}

Outcome frmCal::MergePending(std::vector<std::pair<double, bool>> now, Grid& work, Grid& notWork) {
    // The planner's changes: each day whose grid differs from the one it was filled in.
    const std::vector<std::pair<double, bool>> mine = days::KindsOf(sprWork, sprNotWork);
    const auto byDay = [](const std::pair<double, bool>& a, const std::pair<double, bool>& b) {
        return a.first < b.first;
    };
    // The start day of the calendar as it stands, which never rests.
    const auto firstWork =
        std::find_if(now.begin(), now.end(), [](const auto& d) { return !d.second; });
    const double startDay = firstWork == now.end() ? 0.0 : firstWork->first;
    size_t f = 0;
    for (const auto& [day, rest] : mine) {
        while (f < filled_.size() && filled_[f].first < day)
            ++f;
        if (f == filled_.size() || filled_[f].first != day || filled_[f].second == rest) continue;
        const std::string named = ": " + automation::FormatIsoDate(day);
        const auto at = std::lower_bound(now.begin(), now.end(), std::pair{day, false}, byDay);
        if (at == now.end() || at->first != day) return Outcome::Refused(kDayNotInCalendar, named);
        // Turned the same way by the other writer: nothing left to do.
        if (at->second == rest) continue;
        if (rest && day == startDay) return Outcome::Refused(kStartDaySwap, named);
        if (day <= state_.ServerDate) return Outcome::Refused(kPastDaySwap, named);
        if (rest && IsDayScheduled(day)) return Outcome::Refused(kScheduledDaySwap, named);
        at->second = rest;
    }
    // Each day keeps the note the planner's grids give it.
    std::map<double, std::string> notes;
    for (const Grid* grid : {&sprWork, &sprNotWork}) {
        for (const GridRow& row : grid->Rows())
            if (!row.Note.empty()) notes.emplace(row.Day, row.Note);
    }
    const std::array<std::string, 7> weekdays = days::WeekdayNames();
    std::vector<GridRow> workRows;
    std::vector<GridRow> restRows;
    for (const auto& [day, rest] : now) {
        const auto note = notes.find(day);
        (rest ? restRows : workRows)
            .push_back({day, days::WeekdayOf(day, weekdays),
                        note == notes.end() ? std::string() : note->second});
    }
    work.ReplaceRows(std::move(workRows));
    notWork.ReplaceRows(std::move(restRows));
    return Outcome::Done();
}

Outcome frmCal::WriteNotes(component::CalendarWrite& write, const Grid& work, const Grid& notWork) {
    std::shared_ptr<host::IDayNotes> store;
    for (const Grid* grid : {&work, &notWork}) {
        for (const GridRow& row : grid->Rows()) {
            const auto held = notesFilled_.find(row.Day);
            const std::string before = held == notesFilled_.end() ? std::string() : held->second;
            if (row.Note == before) continue;
            if (!store)
                store = automation::CreateObjectAs<host::IDayNotes>(host::progid::kDayNotes);
            std::string refusal;
            std::string detail;
            switch (store->SetNote(write.Link(), row.Day, row.Note, refusal, detail)) {
                case host::IDayNotes::Written::Refused: {
                    // Named by its day, once.
                    const std::string named = ": " + automation::FormatIsoDate(row.Day);
                    return Outcome::Refused(std::move(refusal),
                                            detail.rfind(named, 0) == 0 ? detail : named + detail);
                }
                case host::IDayNotes::Written::Changed:
                    write.Record({"note", row.Day, before, row.Note, {}, state_.SystemName});
                    break;
                case host::IDayNotes::Written::Unchanged:
                    break;
            }
        }
    }
    return Outcome::Done();
}

Outcome frmCal::Leave() {
    try {
        if (!MayLeave()) return Outcome::Unchanged();
        Unload();
        return Outcome::Done();
    } catch (...) {
        return Outcome::FailedNow();
    }
}

bool frmCal::MayLeave() {
    if (!state_.CalChanged && !state_.WeekendChanged) return true;
    const int answer =
        ui::Current()->MsgBox(LoadLocalText(kLeaveQuestion, 0), ui::vbYesNo | ui::vbExclamation,
                              LoadLocalText(component::mdlCal::kNoticeTitle, 0));
    return answer != ui::vbNo;
}

void frmCal::Unload() {
    bool cancel = false;
    Form_QueryUnload(cancel, vbFormCode);
    if (!cancel) Me.Open = false;
}

}  // namespace zev::window
