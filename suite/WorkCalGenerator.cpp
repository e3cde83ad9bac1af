// The calendar generator (WorkCalGenerator.hpp): GenerateCalendar in one transaction,
// the object "ZevMPlanWorkCal.WorkCal" over it, and WriteCalendarRows.
#include "suite/WorkCalGenerator.hpp"

#include <optional>
#include <string>
#include <utility>

#include "component/CalendarWrite.hpp"
#include "component/WeekendRule.hpp"
#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ComError.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"
#include "platform/automation/Variant.hpp"
#include "suite/AppConnection.hpp"
#include "suite/CalendarStore.hpp"

namespace zev::suite {
namespace {

constexpr const char* kSource = "ZevMPlanWorkCal.WorkCal";
// The earliest start day of a calendar.
const double kEarliestStartDay = automation::OleFromCivil(1601, 1, 1);

class WorkCal final : public automation::Object, public host::IWorkCal {
  public:
    automation::Variant InitCal(std::string propsString, double& startDay, double& endDay,
                                automation::VBool& satNotWork, automation::VBool& sunNotWork,
                                std::string& errorText) override {
        try {
            // Called from inside a calendar write (the window's generation, which has deleted
            // the old rows), the new rows join that write, to be committed with it or not at
            // all; else the generator writes on a connection of its own.
            if (data::TableWrite* open = component::CalendarWrite::Open()) {
                GenerateCalendar(open->Link(), startDay, endDay, satNotWork != 0, sunNotWork != 0);
                return automation::Variant(true);
            }
            auto connection = OpenDatabase(DatabaseNamed(
                [&](std::string_view key) { return host::MMTS::PropsValueOf(propsString, key); }));
            GenerateCalendar(*connection, startDay, endDay, satNotWork != 0, sunNotWork != 0);
            return automation::Variant(true);
        } catch (...) {
            errorText =
                host::MMTS::LoadCompoundText(automation::CurrentExceptionAsError().Description());
            return automation::Variant(false);
        }
    }
};

}  // namespace

size_t WriteCalendarRows(data::Connection& connection, double startDay, double endDay,
                         bool satNotWork, bool sunNotWork) {
    return CalendarStore(connection).WriteDays(startDay, endDay, {satNotWork, sunNotWork}).Days;
}

void GenerateCalendar(data::Connection& connection, double startDay, double endDay, bool satNotWork,
                      bool sunNotWork, ExistingCalendar existing) {
    const component::WeekendRule rule{satNotWork, sunNotWork};
    const bool hasDays = automation::OleDaySerial(startDay) < automation::OleDaySerial(endDay);
    if (hasDays && rule.IsRestDay(startDay)) {
        throw automation::ComError(automation::errors::kUnspecified, kSource,
                                   automation::MarkedText(component::kRestDayStart));
    }
    // The window's date picker, which every later swap goes through, holds no earlier day.
    if (hasDays && startDay < kEarliestStartDay) {
        throw automation::ComError(
            automation::errors::kUnspecified, kSource,
            automation::MarkedText("工厂日历的开始日不能早于",
                                   " " + automation::FormatIsoDate(kEarliestStartDay)));
    }
    component::CalendarWrite write(connection);
    CalendarStore store(connection);
    if (existing == ExistingCalendar::Keep && store.HasDays()) {
        throw CalendarExists(automation::errors::kUnspecified, kSource,
                             automation::MarkedText("工厂日历已经存在"));
    }
    store.DeleteDays();
    const WrittenDays written = store.WriteDays(startDay, endDay, rule);
    // A calendar recorded as set must have days: an empty one fails every later reading
    // of the calendar.
    store.PutSetting("WorkCalendarSet", written.Days > 0 ? "1" : "0");
    store.PutSetting("SatNotWork", satNotWork ? "1" : "0");
    store.PutSetting("SunNotWork", sunNotWork ? "1" : "0");
    store.EnsureIdentity();
    // The suite's readers of calendar 999 see the new calendar from the same commit.
    store.RefreshCopy();
    if (written.Days > 0) {
        write.Record({"generate", std::nullopt, automation::FormatIsoDate(startDay),
                      automation::FormatIsoDate(automation::OleDatePart(startDay) +
                                                static_cast<double>(written.Days - 1)),
                      std::string("SatNotWork=") + (satNotWork ? "1" : "0") +
                          " SunNotWork=" + (sunNotWork ? "1" : "0")});
    }
    write.Commit();
}

void RegisterWorkCalGenerator() {
    automation::RegisterFactory(host::progid::kWorkCal, [] { return std::make_shared<WorkCal>(); });
}

}  // namespace zev::suite
