#pragma once
// The component state shared by every clsCal object of a thread and by the maintenance
// window, and the module routines that work on it.

#include <cstdint>
#include <string>

#include "component/ModalForm.hpp"
#include "component/Outcome.hpp"
#include "platform/automation/Variant.hpp"
#include "platform/data/Connection.hpp"

namespace zev::component {

using automation::VBool;

// One record per thread, zeroed at the thread's first touch.
struct ComponentState {
    VBool IsSetWorkCalendar = 0;
    VBool SatNotWork = 0;
    VBool SunNotWork = 0;
    double CalStartDay = 0.0;
    int32_t StartYear = 0;
    int32_t StartPeriod = 0;
    int32_t CurrentYear = 0;
    int32_t CurrentPeriod = 0;
    VBool CalChanged = 0;
    VBool WeekendChanged = 0;
    std::string SystemName;
    data::ConnectionPtr ActiveConnection;
    double ServerDate = 0.0;
};

namespace mdlCal {

// The title of every message box the calendar shows: refusals, questions, the error
// report. A source text, looked up where it is shown.
inline constexpr const char* kNoticeTitle = "Halvor提示";

// The number of the start-up check's own failure: an accounting setting is missing.
inline constexpr int32_t kSettingsMissing = static_cast<int32_t>(0x80040002u);

// The calling thread's component state.
ComponentState& State();

// The connection of the thread's component state, or of `state`; 91 when there is none.
data::Connection& Connection();
data::Connection& Connection(ComponentState& state);

// The start-up settings check. Creates the calendar's own settings rows when missing
// (WorkCalendarSet, StartYear, StartPeriod) and loads every settings field of the state,
// the calendar's start day and the server's date. Fields are written in step order, so a
// failure leaves the earlier ones loaded, and inserted rows stay. A missing accounting
// setting (CurrentYear, CurrentPeriod, SatNotWork, SunNotWork) fails with
// kSettingsMissing; any other failure keeps its number and source, and its description
// is looked up.
void CheckSettings();

// The thread's maintenance window: created by ProgID at the first use on the thread and
// kept for every later opening.
IModalForm& FormWindow();

// The error report: resets the mouse pointer, and shows the pending error of the thread,
// if there is one, in a message box.
void ShowError();

// Shows what an operation came to, as the window shows it: nothing when it was done or
// nothing was done; a refusal's looked-up text (and its detail) with the exclamation
// icon; a failure in another component's own words as they are, with the information
// icon, then the default pointer; any other failure through the error report.
void ShowOutcome(const Outcome& outcome);

// Ends a member's error handler: the failure being handled becomes the pending error, the
// error report shows it, and the pending error is cleared as the member returns. Call
// only inside a catch block.
void ReportCaughtFailure();

}  // namespace mdlCal
}  // namespace zev::component
