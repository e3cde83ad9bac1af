#pragma once
// The fixture of the window's tests: a fresh database per backend, the window opened
// through clsCal.Show on a thread of its own with a scripted front end, and the actions
// a planner takes in it.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/clsCal.hpp"
#include "component/mdlCal.hpp"
#include "platform/automation/Clock.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "suite/ShareProps.hpp"
#include "suite/WorkCalGenerator.hpp"
#include "tests/component/ComponentTestSupport.hpp"
#include "tests/support/TestDatabase.hpp"
#include "tests/window/ScriptedFrontEnd.hpp"
#include "window/frmCal.hpp"

namespace zev::test {

using automation::OleFromCivil;
using window::CheckBoxId;
using window::FrmCalControls;
using window::FrmCalEvents;
using window::GridId;
using window::GridRow;
namespace errors = automation::errors;

inline double June(int day) {
    return OleFromCivil(2009, 6, day);
}

class MaintenanceWindow : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        Props("zz", true);
        // A start period of May 2009 tells the proposed start day from the calendar's.
        Put("StartYear", "2009");
        Put("StartPeriod", "5");
        window_ = std::make_unique<automation::ScopedFactory>(
            component::kFrmCalProgId, [this]() -> automation::ObjectPtr {
                ++windowsMade_;
                return std::make_shared<window::frmCal>(
                    component::mdlCal::State(),
                    [this] {
                        showings_.emplace_back();
                        return std::make_unique<ScriptedFrontEnd>(ui_, script_, showings_.back());
                    },
                    [this] { return today_; });
            });
    }

    void Props(const std::string& language, bool granted) {
        suite::SetProcessProperty("PropsString", "Language=" + language + ";" +
                                                     (granted ? "" : "CalendarAccess=read;") +
                                                     Db().PropsString());
    }
    void Put(const std::string& key, const std::string& value) {
        Exec("DELETE FROM t_SystemProfile WHERE FCategory='IC' AND FKey='" + key + "'");
        Exec("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES('IC','" + key + "','" +
             value + "')");
    }

    // The rows a statement returns, each as its values joined by "|".
    std::vector<std::string> Table(const std::string& sql) {
        data::Recordset rs = Conn().Execute(sql);
        std::vector<std::string> rows;
        for (; !rs.Eof(); rs.MoveNext()) {
            std::string row;
            for (size_t c = 0; c < rs.FieldCount(); ++c) {
                const automation::Variant& v = rs.Fields(c).Value();
                row +=
                    (c == 0 ? "" : "|") + (v.IsNull() ? std::string("NULL") : automation::CStr(v));
            }
            rows.push_back(row);
        }
        return rows;
    }
    // Every row of the calendar and of its copy, to tell whether anything changed.
    std::vector<std::string> CalendarTables() {
        std::vector<std::string> rows = Table(
            "SELECT FInterID,FDay,FDayID,FWeekID,FMonthID,FYearID FROM t_WorkCalendar ORDER BY "
            "FDay");
        for (const std::string& copy :
             Table("SELECT FInterID,FDay,FDayID,FCalID FROM t_mutiworkcal ORDER BY FCalID,FDay"))
            rows.push_back("copy " + copy);
        return rows;
    }

    // A calendar from `first` up to the day before `end`, weekends resting, that counts as
    // set.
    void WriteCalendar(double first, double end) {
        suite::WriteCalendarRows(Conn(), first, end, true, true);
        Put("WorkCalendarSet", "1");
    }

    // Opens the window once per script on one fresh thread, through clsCal.Show.
    void Open(const std::vector<std::vector<Action>>& scripts) {
        OnFreshThread([&] {
            component::clsCal cal;
            cal.ActiveConnection("");
            for (const std::vector<Action>& script : scripts) {
                script_ = script;
                cal.Show();
            }
            state_ = component::mdlCal::State();
            state_.ActiveConnection.reset();
        });
    }
    const Showing& OpenOnce(std::vector<Action> script = {}) {
        showings_.clear();
        Open({std::move(script)});
        static const Showing none;
        return showings_.empty() ? none : showings_.back();
    }

    // The planner's actions.
    static const window::frmCal& Form(FrmCalEvents& e) { return dynamic_cast<window::frmCal&>(e); }
    // Makes the day the current row of the grid that holds it, on that grid's tab.
    static Action Select(double day) {
        return [day](FrmCalEvents& e) {
            for (const GridId id : {GridId::Work, GridId::NotWork}) {
                const window::Grid& grid =
                    id == GridId::Work ? Form(e).sprWork : Form(e).sprNotWork;
                if (const int32_t row = grid.RowOf(day)) {
                    e.SelectTab(id == GridId::Work ? 0 : 1);
                    e.SelectGridRow(id, row);
                    return;
                }
            }
            ADD_FAILURE() << automation::FormatIsoDate(day) << " is in neither grid";
        };
    }
    static Action Swap(double day) {
        return [day](FrmCalEvents& e) {
            Select(day)(e);
            e.cmdMove_Click();
        };
    }
    static void Save(FrmCalEvents& e) { e.cmdSave_Click(); }
    static void Exit(FrmCalEvents& e) { e.cmdExit_Click(); }
    // Fixes the clock at noon of `day`: the server's date that the start-up check of the
    // next openings reads.
    void ServerDateIs(double day) {
        now_.reset();
        now_.emplace(day + 0.5);
    }

    std::shared_ptr<ui::ScriptedUi> ui_ = std::make_shared<ui::ScriptedUi>();
    ui::ScopedUserInterface processUi_{ui_};
    std::unique_ptr<automation::ScopedFactory> window_;
    std::vector<Action> script_;
    std::deque<Showing> showings_;
    int windowsMade_ = 0;
    double today_ = June(3);
    component::ComponentState state_;
    std::optional<automation::ScopedFixedNow> now_;
};

}  // namespace zev::test
