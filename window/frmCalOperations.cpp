// frmCal's operations on the calendar: generation with its display pass, the day swap
// with the scheduling-use check, the save, and leaving. Each returns its outcome; the
// button handlers in frmCal.cpp show it.

#include <algorithm>
#include <array>
#include <string>
#include <utility>

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

// Ends the save's transaction after a failure; a rollback that fails as well (the
// connection lost) leaves the first failure to be reported.
void RollBack(data::Connection& connection) noexcept {
    try {
        connection.Execute("ROLLBACK");
    } catch (...) {
        // The engine has ended the transaction with the connection.
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
        cmdSave.Enabled = false;
        ui->SetMousePointer(ui::vbHourglass);
        // From here on the old calendar is gone, whatever happens.
        data::Connection& connection = component::mdlCal::Connection(state_);
        connection.Execute(" DELETE FROM t_WorkCalendar ");
        // The calendar ends three years after the current period begins.
        double endDay =
            days::FirstDayOfPeriod(int64_t{state_.CurrentYear} + 3, state_.CurrentPeriod);
        state_.SunNotWork = automation::ToVBool(chkSunNotWork.Value == 1);
        state_.SatNotWork = automation::ToVBool(chkSatNotWork.Value == 1);
        std::string errorText;
        bool made = false;
        {
            const std::shared_ptr<host::IWorkCal> generator =
                automation::CreateObjectAs<host::IWorkCal>(host::progid::kWorkCal);
            made = automation::CBool(generator->InitCal(host::MMTS::GetPropsString(), startDay,
                                                        endDay, state_.SatNotWork,
                                                        state_.SunNotWork, errorText));
        }
        // The generator's own text, as it gave it; shown before the pointer is reset.
        if (!made) return Outcome::FailedSaying(std::move(errorText));
        // The generator may have moved the days it was given; the grids show what it made.
        DisplayPass(startDay, endDay);
        tabCal.Tabs[0].Enabled = true;
        tabCal.Tabs[1].Enabled = true;
        dtStartDay.Enabled = false;
        chkSatNotWork.Enabled = false;
        chkSunNotWork.Enabled = false;
        state_.IsSetWorkCalendar = automation::kTrue;
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
        const bool toRest = tabCal.Tab == 0;
        Grid& source = toRest ? sprWork : sprNotWork;
        Grid& target = toRest ? sprNotWork : sprWork;
        if (source.RowCount() == 0) return Outcome::Unchanged();
        const int32_t row = source.ActiveRow;
        const double day = source.Row(row).Day;
        if (toRest && row == 1) return Outcome::Refused(kStartDaySwap);
        if (day <= state_.ServerDate) return Outcome::Refused(kPastDaySwap);
        if (toRest && IsDayScheduled(day)) return Outcome::Refused(kScheduledDaySwap);

        // All that can fail comes before the first change, so that a failure leaves the
        // day in its grid: the new row, the place for it and the room in the target.
        GridRow moved{day, days::WeekdayOf(day, days::WeekdayNames())};
        const std::vector<GridRow>& rows = target.Rows();
        const auto later =
            std::find_if(rows.begin(), rows.end(), [day](const GridRow& r) { return r.Day > day; });
        const auto at = static_cast<int32_t>(later - rows.begin()) + 1;
        target.ReserveOneMore();
        source.RemoveRow(row);
        target.InsertRow(at, std::move(moved));
        state_.CalChanged = automation::kTrue;
        cmdSave.Enabled = true;
        return Outcome::Done();
    } catch (...) {
        return Outcome::FailedNow();
    }
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
        // One transaction: no reader sees half a numbering, and a failure undoes it all.
        connection.Execute("BEGIN TRANSACTION");
        try {
            if (state_.CalChanged) {
                ui->SetMousePointer(ui::vbHourglass);
                // Rest days first, then the work days numbered by their rows.
                SendNumbering(connection, sprNotWork, false);
                SendNumbering(connection, sprWork, true);
                ui->SetMousePointer(ui::vbDefault);
            }
            connection.Execute(kMultiCalendarRefresh);
            connection.Execute("COMMIT");
        } catch (...) {
            RollBack(connection);
            throw;
        }
        state_.CalChanged = automation::kFalse;
        return Outcome::Done();
    } catch (...) {
        // Nothing was saved: the changes stay pending and Save stays at hand.
        cmdSave.Enabled = true;
        return Outcome::FailedNow();
    }
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
