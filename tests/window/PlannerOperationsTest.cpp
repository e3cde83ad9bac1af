// The planner's operations in the window without a toolkit, on every backend: generating
// the calendar, swapping days past their guards, saving in one transaction, and leaving
// with changes pending.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include "component/CalendarWrite.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "suite/AppConnection.hpp"
#include "suite/CalendarRules.hpp"
#include "tests/support/ForwardingConnection.hpp"
#include "tests/window/MaintenanceWindow.hpp"

namespace zev::test {
namespace {

constexpr const char* kNotice = "Halvor提示";
constexpr const char* kRestDayStart = "工厂日历开始日不能为休息日，请重新设置。";
constexpr const char* kStartDaySwap = "工厂日历起始日不能被置换为休息日。";
constexpr const char* kPastDaySwap = "被置换的日期不能早于或等于当前系统日期。";
constexpr const char* kScheduledDaySwap = "此日期已经作过生产排产或生产汇报，不能置换为休息日。";
constexpr const char* kRefresh =
    "Delete from t_mutiworkcal where FCalID=999 \r\n insert t_mutiworkcal select "
    "finterid,fday,fdayid,fweekid,fmonthid,fyearid,999 from t_workcalendar";

double July(int day) {
    return OleFromCivil(2009, 7, day);
}

// A connection that notes every command text it is given and refuses the one that
// `failWhen` picks, once, before the database sees it.
class RecordingConnection final : public ForwardingConnection {
  public:
    RecordingConnection(data::ConnectionPtr inner, std::function<bool(std::string_view)> failWhen)
        : ForwardingConnection(std::move(inner)), failWhen_(std::move(failWhen)) {}
    data::Recordset Execute(std::string_view text) override {
        sent.emplace_back(text);
        if (failWhen_ && failWhen_(text)) {
            failWhen_ = nullptr;
            throw automation::ComError(errors::kCommandFailed, "Test", "refused");
        }
        return Inner().Execute(text);
    }

    std::vector<std::string> sent;

  private:
    std::function<bool(std::string_view)> failWhen_;
};

class PlannerOperations : public MaintenanceWindow {
  protected:
    // Notes the message boxes shown so far, before the window closes.
    Action NoteBoxes(std::vector<ui::RecordedBox>& into) {
        return [this, &into](FrmCalEvents&) { into = ui_->Boxes(); };
    }
    std::vector<ui::RecordedBox> BoxesSince(size_t first) {
        const std::vector<ui::RecordedBox> all = ui_->Boxes();
        return {all.begin() + static_cast<std::ptrdiff_t>(first), all.end()};
    }
};

// The weekday name a grid shows for `day` in the texts of `language` (zz: the source texts).
std::string WeekdayName(double day, const std::string& language) {
    static const char* const kChinese[] = {"星期日", "星期一", "星期二", "星期三",
                                           "星期四", "星期五", "星期六"};
    static const char* const kEnglish[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
    const size_t i = static_cast<size_t>(automation::OleWeekday(day) - 1);
    return language == "en" ? kEnglish[i] : kChinese[i];
}

bool Ascending(const window::Grid& grid) {
    for (int32_t r = 2; r <= grid.RowCount(); ++r) {
        if (!(grid.Row(r - 1).Day < grid.Row(r).Day)) return false;
    }
    return true;
}

std::vector<GridRow> Rows(const std::vector<double>& days) {
    std::vector<GridRow> rows;
    for (const double day : days)
        rows.push_back({day, ""});
    return rows;
}

// The statements of a save that write the calendar, without the reads, locks and lock
// timeouts of its calendar write and without its history rows.
std::vector<std::string> Written(const std::vector<std::string>& sent) {
    std::vector<std::string> written;
    for (const std::string& text : sent) {
        if (text.rfind("SELECT", 0) != 0 && text.rfind("PRAGMA", 0) != 0 &&
            text.rfind("LOCK TABLE", 0) != 0 && text.rfind("SET ", 0) != 0 &&
            text.rfind("RESET ", 0) != 0 && text.rfind("INSERT INTO t_WorkCalendarLog", 0) != 0) {
            written.push_back(text);
        }
    }
    return written;
}

std::vector<double> Days(const window::Grid& grid) {
    std::vector<double> days;
    for (const GridRow& row : grid.Rows())
        days.push_back(row.Day);
    return days;
}

// ---- Generation ------------------------------------------------------------------------

TEST_P(PlannerOperations, SaveGeneratesTheCalendarFromThePickedDayAndTheWeekendBoxes) {
    struct Case {
        const char* name;
        double start;
        int satNotWork, sunNotWork;
        const char* currentYear;
        const char* warning;  // the refusal shown, nothing touched; nullptr: generated
        int32_t days;
        std::vector<GridRow> firstWork, firstRest;
    };
    const Case cases[] = {
        {"a Saturday start while Saturdays rest", June(6), 1, 0, "2009", kRestDayStart, 0, {}, {}},
        {"a Sunday start while Sundays rest", June(7), 0, 1, "2009", kRestDayStart, 0, {}, {}},
        {"a Saturday start while Saturdays work",
         June(6),
         0,
         1,
         "2009",
         nullptr,
         1091,
         {{June(6), "星期六"}, {June(8), "星期一"}},
         {{June(7), "星期日"}, {June(14), "星期日"}}},
        {"the first of June 2009 for the current period 2009-6",
         June(1),
         1,
         1,
         "2009",
         nullptr,
         1096,
         {{June(1), "星期一"},
          {June(2), "星期二"},
          {June(3), "星期三"},
          {June(4), "星期四"},
          {June(5), "星期五"},
          {June(8), "星期一"}},
         {{June(6), "星期六"}, {June(7), "星期日"}}},
        {"a start after the end of the current period 2005-6",
         June(1),
         1,
         1,
         "2005",
         "工厂日历起始日必须早于日历的结束日: 2008-06-01",
         0,
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Rows of an earlier calendar, which no longer counts as set.
        Exec("DELETE FROM t_WorkCalendar");
        WriteExampleCalendar(Conn());
        Put("WorkCalendarSet", "0");
        Put("CurrentYear", c.currentYear);
        Put("CurrentPeriod", "6");
        const std::vector<std::string> before = CalendarTables();
        const size_t boxesBefore = ui_->Boxes().size();
        const int eventsBefore = ui_->EventsProcessed();
        std::vector<ui::RecordedBox> boxes;

        const Showing& s = OpenOnce({
            [&](FrmCalEvents& e) { e.PickStartDay(c.start); },
            [&](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SatNotWork, c.satNotWork); },
            [&](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, c.sunNotWork); },
            Save,
            NoteBoxes(boxes),
        });
        ASSERT_TRUE(s.shown);
        const FrmCalControls& w = s.controls.back();
        boxes.erase(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(boxesBefore));
        if (c.warning != nullptr) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].prompt, c.warning);
            EXPECT_EQ(boxes[0].buttons, 48);
            EXPECT_EQ(boxes[0].title, kNotice);
            EXPECT_EQ(CalendarTables(), before);
            EXPECT_EQ(state_.IsSetWorkCalendar, automation::kFalse);
            EXPECT_TRUE(w.cmdSave.Enabled && w.chkSatNotWork.Enabled && w.dtStartDay.Enabled);
            EXPECT_FALSE(w.tabCal.Tabs[0].Enabled);
            continue;
        }
        EXPECT_TRUE(boxes.empty());
        // One pending-event call per day, the default pointer after it.
        EXPECT_EQ(ui_->EventsProcessed() - eventsBefore, c.days);
        EXPECT_EQ(ui_->GetMousePointer(), ui::vbDefault);
        EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), c.days);
        for (size_t i = 0; i < c.firstWork.size(); ++i)
            EXPECT_EQ(w.sprWork.Row(static_cast<int32_t>(i + 1)), c.firstWork[i]);
        for (size_t i = 0; i < c.firstRest.size(); ++i)
            EXPECT_EQ(w.sprNotWork.Row(static_cast<int32_t>(i + 1)), c.firstRest[i]);
        if (c.days > 0) {
            EXPECT_EQ(std::max(w.sprWork.Rows().back().Day, w.sprNotWork.Rows().back().Day),
                      OleFromCivil(2012, 5, 31));
        }
        // The grids show what the generator wrote: each work day's row is its number.
        std::vector<std::string> work;
        for (int32_t r = 1; r <= w.sprWork.RowCount(); ++r)
            work.push_back(std::to_string(r) + "|" +
                           automation::FormatIsoDate(w.sprWork.Row(r).Day));
        std::vector<std::string> rest;
        for (const GridRow& row : w.sprNotWork.Rows())
            rest.push_back(automation::FormatIsoDate(row.Day));
        EXPECT_EQ(Table("SELECT FInterID,FDay FROM t_WorkCalendar WHERE FInterID>0 ORDER BY FDay"),
                  work);
        EXPECT_EQ(Table("SELECT FDay FROM t_WorkCalendar WHERE FInterID=0 ORDER BY FDay"), rest);
        // The finish: the calendar is set and its settings locked.
        EXPECT_EQ(state_.IsSetWorkCalendar, automation::kTrue);
        EXPECT_EQ(state_.CalChanged, automation::kFalse);
        EXPECT_EQ(state_.WeekendChanged, automation::kFalse);
        EXPECT_EQ(state_.SatNotWork, automation::ToVBool(c.satNotWork == 1));
        EXPECT_EQ(state_.SunNotWork, automation::ToVBool(c.sunNotWork == 1));
        EXPECT_TRUE(w.tabCal.Tabs[0].Enabled && w.tabCal.Tabs[1].Enabled);
        EXPECT_FALSE(w.dtStartDay.Enabled || w.chkSatNotWork.Enabled || w.chkSunNotWork.Enabled);
        EXPECT_FALSE(w.cmdSave.Enabled);
        EXPECT_FALSE(w.cmdMove.Enabled);  // until a tab is chosen
        EXPECT_FALSE(s.stayedOpen);
    }
}

TEST_P(PlannerOperations, AGenerationSaysHowManyOfItsDaysTheStoredRulesWouldTurn) {
    Put("CurrentYear", "2009");
    Put("CurrentPeriod", "6");
    struct Case {
        const char* name;
        std::vector<suite::CalendarRule> rules;
        const char* notice;  // nullptr: none
    };
    const Case cases[] = {
        {"no rule", {}, nullptr},
        // 6 June works on a Saturday and a Sunday (2009, 2010) and a Monday; 1 October
        // rests, then works by the later rule, which has the last word: only 2011's, a
        // Saturday, changes.
        {"a rule overruled by a later one",
         {{0, "FREQ=YEARLY;BYMONTH=6;BYMONTHDAY=6", false, "", June(1)},
          {0, "FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=1", true, "", June(1)},
          {0, "FREQ=YEARLY;BYMONTH=10;BYMONTHDAY=1", false, "", June(1)}},
         "规则可以改变新日历中的这么多天: 3 (zevworkcal rule apply 2009-06-04 2012-06-01)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Exec("DELETE FROM t_WorkCalendar");
        Exec("DELETE FROM t_WorkCalendarRule");
        Put("WorkCalendarSet", "0");
        for (suite::CalendarRule rule : c.rules)
            ASSERT_TRUE(suite::CalendarRules(Conn()).Add(rule).IsDone());
        const size_t first = ui_->Boxes().size();
        const Showing& s = OpenOnce({
            [](FrmCalEvents& e) { e.PickStartDay(June(1)); },
            [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SatNotWork, 1); },
            [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, 1); },
            Save,
        });
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(state_.IsSetWorkCalendar, automation::kTrue);
        const std::vector<ui::RecordedBox> boxes = BoxesSince(first);
        if (c.notice == nullptr) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].prompt, c.notice);
        EXPECT_EQ(boxes[0].buttons, 64);
        // Advice only: the calendar is the generator's, no rule applied.
        EXPECT_EQ(Table("SELECT FInterID FROM t_WorkCalendar WHERE FDay='2009-06-06'"),
                  std::vector<std::string>{"0"});
    }
}

// A generator whose InitCal fails with a text, noting what it was given.
class FailingGenerator final : public automation::Object, public host::IWorkCal {
  public:
    struct Call {
        std::string props;
        double start, end;
        automation::VBool sat, sun;
        std::string errorTextOnEntry;
    };
    explicit FailingGenerator(std::optional<Call>& call) : call_(call) {}
    automation::Variant InitCal(std::string props, double& start, double& end,
                                automation::VBool& sat, automation::VBool& sun,
                                std::string& errorText) override {
        call_ = Call{props, start, end, sat, sun, errorText};
        errorText = "工厂日历";  // a text with a translation, shown as it is
        return automation::Variant(false);
    }

  private:
    std::optional<Call>& call_;
};

TEST_P(PlannerOperations, AGenerationThatFailsKeepsTheCalendarItHadAndSaysWhy) {
    Props("en", true);
    Put("CurrentYear", "2009");
    Put("CurrentPeriod", "6");
    std::optional<FailingGenerator::Call> call;
    bool creatable = true;
    const automation::ScopedFactory generator(
        host::progid::kWorkCal, [&]() -> automation::ObjectPtr {
            if (!creatable) {
                throw automation::RuntimeError(errors::kCannotCreateObject);
            }
            return std::make_shared<FailingGenerator>(call);
        });
    for (const bool made : {true, false}) {
        SCOPED_TRACE(made ? "InitCal answers false" : "no generator can be made");
        creatable = made;
        Exec("DELETE FROM t_WorkCalendar");
        WriteExampleCalendar(Conn());
        Put("WorkCalendarSet", "0");
        Put("SunNotWork", "1");
        const std::vector<std::string> before = CalendarTables();
        const size_t first = ui_->Boxes().size();
        const Showing& s = OpenOnce({
            [](FrmCalEvents& e) { e.PickStartDay(June(1)); },
            [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, 0); },
            Save,
        });
        ASSERT_TRUE(s.shown);
        const std::vector<ui::RecordedBox> boxes = BoxesSince(first);
        ASSERT_GE(boxes.size(), 1u);
        if (made) {
            EXPECT_EQ(boxes[0].prompt, "工厂日历");
            EXPECT_EQ(boxes[0].buttons, 64);
            EXPECT_EQ(boxes[0].title, "Halvor Notice");
            ASSERT_TRUE(call.has_value());
            EXPECT_EQ(call->props, "Language=en;" + Db().PropsString());
            EXPECT_EQ(call->start, June(1));
            EXPECT_EQ(call->end, OleFromCivil(2012, 6, 1));
            EXPECT_EQ(call->sat, automation::kTrue);
            EXPECT_EQ(call->sun, automation::kFalse);
            EXPECT_EQ(call->errorTextOnEntry, "");
        } else {
            EXPECT_EQ(boxes[0].buttons, 16);
            EXPECT_NE(boxes[0].prompt.find(std::to_string(errors::kCannotCreateObject)),
                      std::string::npos);
        }
        // The old rows and rules stay, nothing new is shown, and Save is at hand again with
        // the rules the boxes show.
        EXPECT_EQ(CalendarTables(), before);
        EXPECT_EQ(ui_->GetMousePointer(), ui::vbDefault);
        EXPECT_EQ(state_.IsSetWorkCalendar, automation::kFalse);
        EXPECT_EQ(state_.SunNotWork, automation::kTrue);
        const FrmCalControls& w = s.controls.back();
        EXPECT_TRUE(w.cmdSave.Enabled);
        EXPECT_EQ(w.chkSunNotWork.Value, 0);
        EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), 0);
        EXPECT_FALSE(w.tabCal.Tabs[0].Enabled);
    }
}

// A generator of the suite that writes on a connection of its own, opened from the
// property string it is given, as the generator's contract allows.
class OwnConnectionGenerator final : public automation::Object, public host::IWorkCal {
  public:
    enum class Does { Generate, FailHalfWay };
    OwnConnectionGenerator(Does does, int& calls) : does_(does), calls_(calls) {}
    automation::Variant InitCal(std::string props, double& start, double& end,
                                automation::VBool& sat, automation::VBool& sun,
                                std::string& errorText) override {
        ++calls_;
        try {
            const data::ConnectionPtr own = suite::OpenDatabase(suite::DatabaseNamed(
                [&](std::string_view key) { return host::MMTS::PropsValueOf(props, key); }));
            if (does_ == Does::Generate) {
                suite::GenerateCalendar(*own, start, end, sat != 0, sun != 0);
                return automation::Variant(true);
            }
            component::CalendarWrite write(*own);
            suite::WriteCalendarRows(*own, start, end, sat != 0, sun != 0);
            throw automation::ComError(errors::kUnspecified, "Test", "工厂日历");
        } catch (const automation::ComError& error) {
            errorText = error.Description();
            return automation::Variant(false);
        }
    }

  private:
    Does does_;
    int& calls_;
};

TEST_P(PlannerOperations, AGeneratorOnItsOwnConnectionWritesInTheGenerationOrIsRefusedByName) {
    constexpr const char* kBusy = "工厂日历正由另一个程序写入，请稍后再试";
    Put("CurrentYear", "2009");
    Put("CurrentPeriod", "6");
    setenv("ZEVWORKCAL_LOCK_WAIT_MS", "300", 1);
    struct Case {
        const char* name;
        OwnConnectionGenerator::Does does;
        bool otherWriter;    // another program holds the calendar's write meanwhile
        const char* prompt;  // the box shown; nullptr: the calendar is generated
        int calls;           // the generator's
    };
    using Does = OwnConnectionGenerator::Does;
    const Case cases[] = {
        {"it generates", Does::Generate, false, nullptr, 1},
        {"it fails after writing its rows", Does::FailHalfWay, false, "工厂日历", 1},
        {"another program writes meanwhile", Does::Generate, true, kBusy, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Exec("DELETE FROM t_WorkCalendar");
        WriteExampleCalendar(Conn());
        Put("WorkCalendarSet", "0");
        const std::vector<std::string> before = CalendarTables();
        int calls = 0;
        const automation::ScopedFactory generator(host::progid::kWorkCal, [&] {
            return std::make_shared<OwnConnectionGenerator>(c.does, calls);
        });
        // The other program: a write on a connection of its own, held on another thread
        // until the window is closed.
        std::promise<void> held, done;
        std::thread other;
        if (c.otherWriter) {
            other = std::thread([&] {
                const data::ConnectionPtr own = Db().Connect();
                component::CalendarWrite write(*own);
                held.set_value();
                done.get_future().wait();
            });
            held.get_future().wait();
        }
        const size_t first = ui_->Boxes().size();
        const Showing& s = OpenOnce({[](FrmCalEvents& e) { e.PickStartDay(June(1)); }, Save});
        if (other.joinable()) {
            done.set_value();
            other.join();
        }
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(calls, c.calls);
        const std::vector<ui::RecordedBox> boxes = BoxesSince(first);
        if (c.prompt != nullptr) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_NE(boxes[0].prompt.find(c.prompt), std::string::npos) << boxes[0].prompt;
            EXPECT_EQ(CalendarTables(), before);
            EXPECT_EQ(state_.IsSetWorkCalendar, automation::kFalse);
            continue;
        }
        EXPECT_TRUE(boxes.empty());
        // The old calendar went in the generator's write: only the new days are left, and
        // the window shows them.
        const FrmCalControls& w = s.controls.back();
        EXPECT_EQ(Table("SELECT COUNT(*), MIN(FDay) FROM t_WorkCalendar"),
                  std::vector<std::string>{"1096|2009-06-01"});
        EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), 1096);
        EXPECT_EQ(state_.IsSetWorkCalendar, automation::kTrue);
    }
    unsetenv("ZEVWORKCAL_LOCK_WAIT_MS");
}

TEST_P(PlannerOperations, TheDisplayPassRefusesInputAndARetryStartsFromEmptyGrids) {
    Put("CurrentYear", "2009");
    Put("CurrentPeriod", "6");
    int events = 0;
    bool failPass = true;
    bool closeCancelled = false;
    // Input arriving at the tenth day of a pass; the first pass fails at its hundredth.
    const Action duringThePass = [&](FrmCalEvents& e) {
        events = 0;
        ui_->OnEvents([&] {
            if (++events == 10) {
                e.SetCheckBox(CheckBoxId::SatNotWork, 0);
                e.PickStartDay(June(2));
                e.cmdSave_Click();
                e.cmdExit_Click();
                bool cancel = false;
                e.Form_QueryUnload(cancel, window::vbFormControlMenu);
                closeCancelled = cancel;
            }
            if (events == 100 && failPass) {
                failPass = false;
                throw automation::ComError(errors::kUnspecified, "Test", "display lost");
            }
        });
    };
    const Showing& s = OpenOnce({
        [](FrmCalEvents& e) { e.PickStartDay(June(1)); },
        duringThePass,
        Save,
        // The failed pass left its first 99 days; a box change makes Save available again.
        [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, 0); },
        [](FrmCalEvents& e) { e.SetCheckBox(CheckBoxId::SunNotWork, 1); },
        duringThePass,
        Save,
    });
    ui_->OnEvents(nullptr);
    ASSERT_TRUE(s.shown);
    const FrmCalControls& failed = s.controls[3];
    EXPECT_EQ(failed.sprWork.RowCount() + failed.sprNotWork.RowCount(), 99);
    EXPECT_FALSE(failed.cmdSave.Enabled);
    const FrmCalControls& w = s.controls[7];
    EXPECT_TRUE(w.Me.Open);
    EXPECT_TRUE(closeCancelled);
    // One pass of 1,096 days, shown once, from the day and rule it began with.
    EXPECT_EQ(events, 1096);
    EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), 1096);
    EXPECT_TRUE(Ascending(w.sprWork) && Ascending(w.sprNotWork));
    EXPECT_EQ(w.sprWork.Row(1).Day, June(1));
    EXPECT_EQ(w.sprNotWork.Row(1).Day, June(6));
    EXPECT_EQ(w.chkSatNotWork.Value, 1);
    EXPECT_EQ(w.dtStartDay.Value, June(1));
    EXPECT_EQ(state_.IsSetWorkCalendar, automation::kTrue);
    // Only the failure of the first pass was reported; nothing asked to leave.
    ASSERT_EQ(ui_->Boxes().size(), 1u);
    EXPECT_EQ(ui_->Boxes()[0].buttons, 16);
    EXPECT_NE(ui_->Boxes()[0].prompt.find("display lost"), std::string::npos);
}

// ---- Day swap --------------------------------------------------------------------------

// The calendar of the swap tests: 2009-06-16 (a Tuesday) to 2009-07-10, weekends resting.
// Work days 06-29, 06-30 and 07-01 stand in rows 10 to 12; the rest days are 06-20, 06-21,
// 06-27, 06-28, 07-04 and 07-05.
class DaySwap : public PlannerOperations {
  protected:
    void SetUp() override {
        PlannerOperations::SetUp();
        WriteCalendar(June(16), July(11));
    }
};

TEST_P(DaySwap, EachGuardRefusesInItsOrderAndOtherwiseTheDayMoves) {
    constexpr const char* kMoved = "";
    struct Case {
        const char* name;
        double serverDate;
        const char* planCycle;  // nullptr: no row; "NULL": a NULL value
        double scheduled;       // the day of a schedule line, 0 for none
        double day;
        const char* outcome;  // the refusal, kMoved, or the number of the error reported
        const char* language = "zz";
        bool rowGone = false;  // the day's row deleted by someone else meanwhile
    };
    const Case cases[] = {
        {"the start day, after the server date", June(1), nullptr, 0, June(16), kStartDaySwap},
        {"the start day, in the past: the start-day guard comes first", June(20), nullptr, 0,
         June(16), kStartDaySwap},
        {"a work day on the server date", June(29), nullptr, 0, June(29), kPastDaySwap},
        {"a past day, scheduled: the date guard comes first", June(29), "天", June(26), June(26),
         kPastDaySwap},
        {"a work day scheduled by day", June(20), "天", June(30), June(30), kScheduledDaySwap},
        {"the day after the server date", June(29), nullptr, 0, June(30), kMoved},
        {"no plan cycle: nothing counts as scheduled", June(20), nullptr, June(30), June(30),
         kMoved},
        {"a weekly plan cycle is not looked into", June(20), "周", June(30), June(30), kMoved},
        {"nor a monthly one", June(20), "月", June(30), June(30), kMoved},
        {"nor a yearly one", June(20), "年", June(30), June(30), kMoved},
        {"a work day after every rest day becomes the last rest row", June(20), nullptr, 0,
         July(10), kMoved},
        {"the day word of the user's language", June(20), "Day", June(30), June(30),
         "Production has already been scheduled or reported on this date, so it cannot be "
         "swapped to a rest day.",
         "en"},
        {"the Chinese day word read in English", June(20), "天", June(30), June(30), kMoved, "en"},
        {"a rest day on the server date", June(28), nullptr, 0, June(28), kPastDaySwap},
        {"the first rest day, scheduled, becomes a work day unchecked", June(19), "天", June(20),
         June(20), kMoved},
        {"a plan cycle of NULL", June(20), "NULL", 0, June(30), "94"},
        {"a day without its row", June(20), "天", 0, June(30), "3021", "zz", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Props(c.language, true);
        Exec("DELETE FROM t_SystemProfile WHERE FKey='PlanCycle'");
        if (c.planCycle != nullptr) {
            Exec(std::string("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) "
                             "VALUES('IC','PlanCycle',") +
                 (std::string(c.planCycle) == "NULL" ? "NULL"
                                                     : "'" + std::string(c.planCycle) + "'") +
                 ")");
        }
        Exec("DELETE FROM t_WOScheduleDetail");
        if (c.scheduled != 0) {
            Exec(
                "INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) SELECT 1,FDayID FROM "
                "t_WorkCalendar WHERE FDay='" +
                automation::FormatIsoDate(c.scheduled) + "'");
        }
        const std::vector<std::string> tables = CalendarTables();
        const size_t first = ui_->Boxes().size();
        std::vector<ui::RecordedBox> boxes;
        std::shared_ptr<RecordingConnection> connection;
        const automation::ScopedFactory recorded(
            host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
                connection = std::make_shared<RecordingConnection>(Db().Connect(), nullptr);
                return connection;
            });
        ServerDateIs(c.serverDate);
        const Showing& s = OpenOnce({
            Select(c.day),
            [&](FrmCalEvents&) {
                if (c.rowGone) {
                    Exec("DELETE FROM t_WorkCalendar WHERE FDay='" +
                         automation::FormatIsoDate(c.day) + "'");
                }
            },
            [](FrmCalEvents& e) { e.cmdMove_Click(); },
            NoteBoxes(boxes),
        });
        ASSERT_TRUE(s.shown);
        boxes.erase(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(first));
        const FrmCalControls& was = s.controls[2];
        const FrmCalControls& w = s.controls[3];
        const bool moved = std::string(c.outcome) == kMoved;
        EXPECT_EQ(state_.CalChanged, automation::ToVBool(moved));
        EXPECT_EQ(w.cmdSave.Enabled, moved);
        if (moved) {
            EXPECT_TRUE(boxes.empty());
            const bool toRest = was.sprWork.RowOf(c.day) != 0;
            const window::Grid& from = toRest ? w.sprWork : w.sprNotWork;
            const window::Grid& to = toRest ? w.sprNotWork : w.sprWork;
            EXPECT_EQ(from.RowOf(c.day), 0);
            ASSERT_NE(to.RowOf(c.day), 0);
            EXPECT_EQ(to.Row(to.RowOf(c.day)).Weekday, WeekdayName(c.day, c.language));
            EXPECT_TRUE(Ascending(w.sprWork) && Ascending(w.sprNotWork));
            EXPECT_EQ(w.sprWork.RowCount() + w.sprNotWork.RowCount(), 25);
        } else {
            // Nothing changed but the box.
            EXPECT_EQ(w.sprWork, was.sprWork);
            EXPECT_EQ(w.sprNotWork, was.sprNotWork);
            ASSERT_EQ(boxes.size(), 1u);
            if (std::isdigit(static_cast<unsigned char>(c.outcome[0]))) {
                EXPECT_EQ(boxes[0].buttons, 16);
                EXPECT_NE(boxes[0].prompt.find(c.outcome), std::string::npos) << boxes[0].prompt;
            } else {
                EXPECT_EQ(boxes[0].prompt, c.outcome);
                EXPECT_EQ(boxes[0].buttons, 48);
                EXPECT_EQ(boxes[0].title,
                          std::string(c.language) == "en" ? "Halvor Notice" : kNotice);
            }
        }
        // A swap writes nothing.
        if (!c.rowGone) {
            EXPECT_EQ(CalendarTables(), tables);
        }
        // A plan cycle other than by day reads neither the day's row nor the schedule.
        if (c.planCycle != nullptr &&
            std::string("周月年").find(c.planCycle) != std::string::npos) {
            for (const std::string& text : connection->sent) {
                EXPECT_EQ(text.find("t_WOScheduleDetail"), std::string::npos) << text;
                EXPECT_EQ(text.find("SELECT FDayID"), std::string::npos) << text;
            }
        }
        if (c.day == July(10)) {
            EXPECT_EQ(w.sprNotWork.Rows().back().Day, July(10));
        }
    }
}

TEST_P(DaySwap, AnEmptyGridHasNothingToSwap) {
    for (const bool workDays : {true, false}) {
        SCOPED_TRACE(workDays ? "no work days" : "no rest days");
        Exec("DELETE FROM t_WorkCalendar");
        if (workDays) {
            WriteCalendar(June(16), July(11));
            Exec("UPDATE t_WorkCalendar SET FInterID=0");
        } else {
            suite::WriteCalendarRows(Conn(), June(16), July(11), false, false);
        }
        ServerDateIs(June(1));
        const Showing& s = OpenOnce({
            [&](FrmCalEvents& e) { e.SelectTab(workDays ? 0 : 1); },
            [](FrmCalEvents& e) { e.cmdMove_Click(); },
        });
        ASSERT_TRUE(s.shown);
        EXPECT_TRUE(s.controls[1].cmdMove.Enabled);
        EXPECT_EQ(s.controls[2], s.controls[1]);
        EXPECT_EQ(state_.CalChanged, automation::kFalse);
        EXPECT_TRUE(ui_->Boxes().empty());
    }
}

TEST_P(DaySwap, RowsTenToTwelveSwappedAndBackThenSavedAsTheDateServiceSeesThem) {
    ServerDateIs(June(20));
    const Showing& s = OpenOnce({
        Swap(June(30)),
        Swap(June(30)),
        Swap(June(30)),
        Save,
    });
    ASSERT_TRUE(s.shown);
    const window::Grid& swapped = s.controls[1].sprWork;
    EXPECT_EQ(swapped.Row(10).Day, June(29));
    EXPECT_EQ(swapped.Row(11).Day, July(1));
    EXPECT_EQ(
        Days(s.controls[1].sprNotWork),
        (std::vector<double>{June(20), June(21), June(27), June(28), June(30), July(4), July(5)}));
    EXPECT_EQ(s.controls[1].sprNotWork.Row(5), (GridRow{June(30), "星期二"}));
    // Swapped back: the grids are as loaded, and the calendar still counts as changed.
    EXPECT_EQ(s.controls[2].sprWork.Rows(), s.controls[0].sprWork.Rows());
    EXPECT_EQ(s.controls[2].sprNotWork.Rows(), s.controls[0].sprNotWork.Rows());
    EXPECT_TRUE(s.controls[2].cmdSave.Enabled);

    // Saved: rest days 0, work days 1..18 in date order, the copy alike.
    std::vector<std::string> expected;
    int32_t number = 0;
    for (double day = June(16); day < July(11); ++day) {
        const int weekday = automation::OleWeekday(day);
        const bool rest = weekday == 1 || weekday == 7 || day == June(30);
        expected.push_back(std::to_string(rest ? 0 : ++number) + "|" +
                           automation::FormatIsoDate(day));
    }
    EXPECT_EQ(Table("SELECT FInterID,FDay FROM t_WorkCalendar ORDER BY FDay"), expected);
    EXPECT_EQ(Table("SELECT FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID FROM t_mutiworkcal "
                    "WHERE FCalID=999 ORDER BY FDay"),
              Table("SELECT FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID FROM t_WorkCalendar "
                    "ORDER BY FDay"));
    EXPECT_EQ(state_.CalChanged, automation::kFalse);
    EXPECT_FALSE(s.controls[4].cmdSave.Enabled);
    EXPECT_EQ(ui_->GetMousePointer(), ui::vbDefault);
    EXPECT_TRUE(ui_->Boxes().empty());
    OnFreshThread([&] {
        component::clsCal cal;
        cal.ActiveConnection("");
        EXPECT_EQ(cal.WorkDay(June(29), component::Dir_Forward, 1), July(1));
    });
}

// ---- Save ------------------------------------------------------------------------------

TEST_P(PlannerOperations, SaveSendsRestDaysThenWorkDaysInBatchesThenTheCopyInOneTransaction) {
    WriteExampleCalendar(Conn());
    const auto update = [](int32_t number, double day) {
        return "UPDATE t_WorkCalendar SET FInterID=" + std::to_string(number) + " WHERE FDay='" +
               automation::FormatIsoDate(day) + "'\r\n";
    };
    struct Case {
        const char* name;
        bool changed;
        std::vector<double> work, rest;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"both grids empty: only the copy",
         true,
         {},
         {},
         {"BEGIN TRANSACTION", kRefresh, "COMMIT"}},
        {"nothing swapped: only the copy",
         false,
         {June(1), June(2), June(3)},
         {June(6)},
         {"BEGIN TRANSACTION", kRefresh, "COMMIT"}},
        {"three work days numbered by their rows",
         true,
         {June(1), June(2), June(4)},
         {June(3), June(6), June(7)},
         {"BEGIN TRANSACTION", update(0, June(3)) + update(0, June(6)) + update(0, June(7)),
          update(1, June(1)) + update(2, June(2)) + update(3, June(4)), kRefresh, "COMMIT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto connection = std::make_shared<RecordingConnection>(Db().Connect(), nullptr);
        component::ComponentState state;
        state.ActiveConnection = connection;
        state.CalChanged = automation::ToVBool(c.changed);
        window::frmCal form(state, [] { return std::unique_ptr<window::FrmCalView>(); });
        // The grids as loaded, then as the planner left them.
        ASSERT_TRUE(form.LoadCalendarGrids().IsDone());
        form.sprWork.ReplaceRows(Rows(c.work));
        form.sprNotWork.ReplaceRows(Rows(c.rest));
        EXPECT_TRUE(form.SaveCalendar().IsDone());
        EXPECT_EQ(Written(connection->sent), c.sent);
        EXPECT_EQ(state.CalChanged, automation::kFalse);
        EXPECT_FALSE(form.cmdSave.Enabled);
    }
    EXPECT_EQ(Table("SELECT FInterID FROM t_WorkCalendar ORDER BY FDay"),
              (std::vector<std::string>{"1", "2", "0", "3", "5", "0", "0", "6", "7", "8"}));
    EXPECT_EQ(Table("SELECT COUNT(*) FROM t_mutiworkcal WHERE FCalID=999"),
              std::vector<std::string>{"10"});
    EXPECT_TRUE(ui_->Boxes().empty());

    // A year of days: every batch but the last of a grid just over 1,000 characters, whole
    // statements only, every rest day before the first work day.
    Exec("DELETE FROM t_WorkCalendar");
    WriteCalendar(June(1), OleFromCivil(2010, 6, 1));
    auto connection = std::make_shared<RecordingConnection>(Db().Connect(), nullptr);
    component::ComponentState state;
    state.ActiveConnection = connection;
    state.CalChanged = automation::kTrue;
    window::frmCal form(state, [] { return std::unique_ptr<window::FrmCalView>(); });
    ASSERT_TRUE(form.LoadCalendarGrids().IsDone());
    std::string restStatements, workStatements;
    for (int32_t r = 1; r <= form.sprNotWork.RowCount(); ++r)
        restStatements += update(0, form.sprNotWork.Row(r).Day);
    for (int32_t r = 1; r <= form.sprWork.RowCount(); ++r)
        workStatements += update(r, form.sprWork.Row(r).Day);
    ASSERT_EQ(form.sprWork.RowCount() + form.sprNotWork.RowCount(), 365);
    form.SaveCalendar();
    const std::vector<std::string> sent = Written(connection->sent);
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent.front(), "BEGIN TRANSACTION");
    EXPECT_EQ(sent[sent.size() - 2], kRefresh);
    EXPECT_EQ(sent.back(), "COMMIT");
    std::string rest, work;
    for (size_t i = 1; i + 2 < sent.size(); ++i) {
        const std::string& batch = sent[i];
        const bool restBatch = batch.find("FInterID=0 ") != std::string::npos;
        if (restBatch) {
            EXPECT_TRUE(work.empty()) << "a rest day after a work day";
        }
        (restBatch ? rest : work) += batch;
        EXPECT_EQ(batch.substr(batch.size() - 2), "\r\n");
        const bool lastOfItsGrid = (restBatch ? rest.size() == restStatements.size()
                                              : work.size() == workStatements.size());
        if (!lastOfItsGrid) {
            const size_t lastStatement = batch.rfind("UPDATE");
            EXPECT_GT(batch.size(), 1000u) << i;
            EXPECT_LE(lastStatement, 1000u) << i;
        }
    }
    EXPECT_EQ(rest, restStatements);
    EXPECT_EQ(work, workStatements);
}

TEST_P(PlannerOperations, ASaveThatFailsLeavesTheDatabaseAsItWasAndCanBeRetried) {
    struct Case {
        const char* name;
        std::function<bool(std::string_view)> refuse;
        bool dropCopy;  // the database itself fails the copy
    };
    int batches = 0;
    const Case cases[] = {
        {"the second numbering batch refused",
         [&](std::string_view text) { return text.rfind("UPDATE", 0) == 0 && ++batches == 2; },
         false},
        {"the commit refused", [](std::string_view text) { return text == "COMMIT"; }, false},
        {"the copy's table gone", nullptr, true},
    };
    const double swapped = OleFromCivil(2009, 9, 1);
    const std::string swappedRow = "SELECT FInterID FROM t_WorkCalendar WHERE FDay='" +
                                   automation::FormatIsoDate(swapped) + "'";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        batches = 0;
        // A year of days, saved before.
        Exec("DELETE FROM t_WorkCalendar");
        WriteCalendar(June(1), OleFromCivil(2010, 6, 1));
        Exec(c.dropCopy ? "DROP TABLE t_mutiworkcal" : kRefresh);
        const auto snapshot = [&] {
            return c.dropCopy ? Table("SELECT FInterID,FDay FROM t_WorkCalendar ORDER BY FDay")
                              : CalendarTables();
        };
        const std::vector<std::string> before = snapshot();
        std::shared_ptr<RecordingConnection> connection;
        const automation::ScopedFactory recorded(
            host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
                connection = std::make_shared<RecordingConnection>(Db().Connect(), c.refuse);
                return connection;
            });
        const size_t first = ui_->Boxes().size();
        std::vector<ui::RecordedBox> boxes;
        std::vector<std::string> afterFailure;
        std::string lastSent;
        automation::VBool changed = 0;
        ServerDateIs(June(1));
        const Showing& s = OpenOnce({
            Swap(swapped),
            Save,
            [&](FrmCalEvents&) {
                afterFailure = snapshot();
                lastSent = Written(connection->sent).back();
                changed = component::mdlCal::State().CalChanged;
            },
            NoteBoxes(boxes),
            Save,
        });
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(afterFailure, before);
        EXPECT_EQ(lastSent, "ROLLBACK");
        EXPECT_EQ(changed, automation::kTrue);
        boxes.erase(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(first));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].buttons, 16);
        EXPECT_EQ(ui_->GetMousePointer(), ui::vbDefault);
        // Save stays at hand; the retry goes through unless the database keeps failing.
        EXPECT_TRUE(s.controls[2].cmdSave.Enabled);
        EXPECT_EQ(Table(swappedRow), std::vector<std::string>{c.dropCopy ? "67" : "0"});
        EXPECT_EQ(state_.CalChanged, automation::ToVBool(c.dropCopy));
    }
}

// Another writer commits its change right after the window has read its grids: Save finds
// the calendar changed, applies the planner's swap of 2009-06-30 to the calendar as it now
// stands with every guard checked again, and shows what it saved; a day that can no longer
// be turned is refused by name, and the other writer's change is all the table holds.
TEST_P(DaySwap, ASaveAfterAnotherWritersChangeMergesOrRefusesTheDayByName) {
    const std::string day = "2009-06-30";
    struct Case {
        const char* name;
        std::string change;        // the other writer's, committed right after the statement that
        std::string after;         // holds this
        const char* refusal;       // nullptr: saved
        std::vector<double> rest;  // saved: every rest day afterwards
    };
    // The load's last statement, and the swap's scheduling check of the day.
    constexpr const char* kLoad = "WHERE FInterID>0 ORDER BY FDay";
    constexpr const char* kSwapCheck = "FROM t_WOScheduleDetail";
    Put("PlanCycle", "天");
    const std::vector<double> weekends = {June(20), June(21), June(27), June(28), July(4), July(5)};
    auto with = [&](std::vector<double> days) {
        days.insert(days.end(), weekends.begin(), weekends.end());
        std::sort(days.begin(), days.end());
        return days;
    };
    const Case cases[] = {
        {"another day swapped", "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-07-01'",
         kLoad, nullptr, with({June(30), July(1)})},
        {"the same day swapped", "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='" + day + "'",
         kLoad, nullptr, with({June(30)})},
        {"a day added at the end",
         "INSERT INTO t_WorkCalendar(FInterID,FDay,FDayID) VALUES(90,'2009-07-13',20090713)", kLoad,
         nullptr, with({June(30)})},
        {"the day deleted",
         "DELETE FROM t_WorkCalendar WHERE FDay='" + day + "'",
         kSwapCheck,
         "日期不在工厂日历中: 2009-06-30",
         {}},
        {"the day scheduled beside a swap of another",
         "INSERT INTO t_WOScheduleDetail(FDetailID,FSeqID) VALUES(1,20090630)\r\n"
         "UPDATE t_WorkCalendar SET FInterID=0 WHERE FDay='2009-07-01'",
         kSwapCheck,
         "2009-06-30: 此日期已经作过生产排产或生产汇报，不能置换为休息日。",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Exec("DELETE FROM t_WorkCalendar");
        Exec("DELETE FROM t_WOScheduleDetail");
        WriteCalendar(June(16), July(11));
        Exec(kRefresh);
        std::shared_ptr<CommitsBetweenStatements> connection;
        const automation::ScopedFactory between(
            host::progid::kAppConnection, [&]() -> automation::ObjectPtr {
                connection = std::make_shared<CommitsBetweenStatements>(
                    Db().Connect(), Db().Connect(), c.after, c.change);
                return connection;
            });
        ServerDateIs(June(1));
        std::vector<std::string> beforeSave;
        const size_t first = ui_->Boxes().size();
        const Showing& s = OpenOnce({
            Swap(June(30)),
            [&](FrmCalEvents&) { beforeSave = CalendarTables(); },
            Save,
        });
        ASSERT_TRUE(s.shown);
        ASSERT_TRUE(connection->Committed());
        const std::vector<ui::RecordedBox> boxes = BoxesSince(first);
        const FrmCalControls& w = s.controls.back();
        if (c.refusal != nullptr) {
            // The refusal, then, as the window closes, the question for the change still
            // pending, with Save at hand.
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_EQ(boxes[0].prompt, c.refusal);
            EXPECT_NE(boxes[1].prompt.find("是否仍要退出"), std::string::npos);
            EXPECT_EQ(CalendarTables(), beforeSave);
            EXPECT_TRUE(w.cmdSave.Enabled);
            EXPECT_EQ(state_.CalChanged, automation::kTrue);
            continue;
        }
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(Days(w.sprNotWork), c.rest);
        EXPECT_EQ(state_.CalChanged, automation::kFalse);
        // The table holds what the grids show: rest days 0, work days numbered by their rows,
        // and calendar 999 is its copy.
        std::vector<std::string> expected;
        for (const GridRow& row : w.sprNotWork.Rows())
            expected.push_back(automation::FormatIsoDate(row.Day) + "|0");
        for (int32_t r = 1; r <= w.sprWork.RowCount(); ++r)
            expected.push_back(automation::FormatIsoDate(w.sprWork.Row(r).Day) + "|" +
                               std::to_string(r));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Table("SELECT FDay,FInterID FROM t_WorkCalendar ORDER BY FDay"), expected);
        EXPECT_EQ(Table("SELECT FDay,FInterID FROM t_mutiworkcal WHERE FCalID=999 ORDER BY FDay"),
                  expected);
    }
}

// ---- Leaving ---------------------------------------------------------------------------

TEST_P(DaySwap, UnsavedSwapsAreAskedAboutAtEveryLeavingUntilSaved) {
    // Exit answered No, the close box Yes; at the next opening Exit asks again (Yes).
    for (int answer : {ui::vbNo, ui::vbYes, ui::vbYes})
        ui_->Answer(answer);
    showings_.clear();
    ServerDateIs(June(20));
    Open({
        {Swap(June(30)), Exit},
        {Exit},
        {Swap(June(30)), Save, Exit},
    });
    ASSERT_EQ(showings_.size(), 3u);
    EXPECT_TRUE(showings_[0].controls[2].Me.Open);
    EXPECT_FALSE(showings_[0].stayedOpen);
    EXPECT_FALSE(showings_[1].controls[1].Me.Open);
    EXPECT_FALSE(showings_[2].controls[3].Me.Open);
    const std::vector<ui::RecordedBox> boxes = ui_->Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (const ui::RecordedBox& box : boxes) {
        EXPECT_EQ(box.buttons, 52);
        EXPECT_EQ(box.prompt, "工作日历已做过改动，现在退出将放弃本次所做的工作，是否仍要退出？");
    }
    EXPECT_EQ(state_.CalChanged, automation::kFalse);
}

// The planner types `text` over the note of `day`, in the grid that holds it.
Action EditNote(double day, std::string text) {
    return [day, text](FrmCalEvents& e) {
        const window::frmCal& form = dynamic_cast<window::frmCal&>(e);
        const bool work = form.sprWork.RowOf(day) != 0;
        e.EditNote(work ? GridId::Work : GridId::NotWork,
                   (work ? form.sprWork : form.sprNotWork).RowOf(day), text);
    };
}

TEST_P(DaySwap, NotesEditedInPlaceAreSavedInTheSavesOneWriteWithAHistoryRowEach) {
    ServerDateIs(June(20));
    Exec("INSERT INTO t_WorkCalendarNote(FDay,FNote) VALUES('2009-06-27','old')");
    const std::string notes =
        "SELECT CAST(FDay AS VARCHAR(10)) || '|' || FNote FROM t_WorkCalendarNote ORDER BY FDay";
    const std::string history =
        "SELECT FAction || '|' || COALESCE(CAST(FDay AS VARCHAR(10)), '') || '|' || FFrom || '|' "
        "|| FTo FROM t_WorkCalendarLog ORDER BY FID";
    const std::vector<std::string> calendar = CalendarTables();
    struct Step {
        const char* name;
        bool granted;
        std::vector<Action> script;
        std::vector<std::string> notes;    // the note table afterwards
        std::vector<std::string> history;  // the history afterwards
        const char* box;                   // the refusal shown, or nullptr
        std::string pending;               // June 29's note, still pending after a refusal
    };
    const Step steps[] = {
        // A note refused by the store refuses the save: the swap made with it is not
        // saved either, and no history row is kept.
        {"a note too long, with a swap",
         true,
         {Swap(June(30)), EditNote(June(29), std::string(201, 'x')), Save},
         {"2009-06-27|old"},
         {},
         "备注太长，最多 200 个字符: 2009-06-29: 201",
         std::string(201, 'x')},
        {"a note with a control character that a terminal acts on",
         true,
         {EditNote(June(29), "\u009b31mred"), Save},
         {"2009-06-27|old"},
         {},
         "备注只能有一行，不能含有控制字符: 2009-06-29: U+009B",
         "\u009b31mred"},
        {"without the right to change the calendar, notes are not edited",
         false,
         {EditNote(June(29), "a"), Save},
         {"2009-06-27|old"},
         {},
         nullptr,
         ""},
        {"one note typed with spaces around it, one removed",
         true,
         {EditNote(June(29), "  盘点  "), EditNote(June(27), ""), Save},
         {"2009-06-29|盘点"},
         {"note|2009-06-29||盘点", "note|2009-06-27|old|"},
         nullptr,
         ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Props("zz", step.granted);
        const size_t boxes = ui_->Boxes().size();
        const Showing& s = OpenOnce(step.script);
        ASSERT_TRUE(s.shown);
        EXPECT_EQ(Table(notes), step.notes);
        EXPECT_EQ(Table(history), step.history);
        const std::vector<ui::RecordedBox> shown = BoxesSince(boxes);
        if (step.box != nullptr) {
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(shown.front().prompt, step.box);
            EXPECT_EQ(CalendarTables(), calendar);
            // The changes stay pending, with Save at hand again.
            EXPECT_TRUE(s.controls.back().cmdSave.Enabled);
            EXPECT_EQ(s.controls.back().sprWork.Row(s.controls.back().sprWork.RowOf(June(29))).Note,
                      step.pending);
        } else if (step.granted) {
            // An edit changes the calendar as a swap does: Save comes on at once.
            EXPECT_TRUE(s.controls[1].cmdSave.Enabled);
            EXPECT_EQ(s.controls[1].sprWork.Row(s.controls[1].sprWork.RowOf(June(29))).Note,
                      "盘点");
            EXPECT_FALSE(s.controls.back().cmdSave.Enabled);
            EXPECT_EQ(state_.CalChanged, automation::kFalse);
        } else {
            EXPECT_FALSE(s.controls[1].sprWork.NotesEditable);
            EXPECT_EQ(s.controls[1].sprWork.Rows(), s.controls[0].sprWork.Rows());
        }
    }
    // An edit not saved is asked about at leaving, as a swap is.
    const size_t before = ui_->Boxes().size();
    ui_->Answer(ui::vbYes);
    OpenOnce({EditNote(June(29), "later"), Exit});
    ASSERT_EQ(ui_->Boxes().size(), before + 1);
    EXPECT_EQ(ui_->Boxes().back().prompt,
              "工作日历已做过改动，现在退出将放弃本次所做的工作，是否仍要退出？");
    EXPECT_EQ(Table(notes), (std::vector<std::string>{"2009-06-29|盘点"}));
}

ZEV_INSTANTIATE_DB_TEST(PlannerOperations);
ZEV_INSTANTIATE_DB_TEST(DaySwap);

}  // namespace
}  // namespace zev::test
