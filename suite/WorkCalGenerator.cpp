// The calendar generator (WorkCalGenerator.hpp): GenerateCalendar in one transaction,
// the object "ZevMPlanWorkCal.WorkCal" over it, and WriteCalendarRows.
#include "suite/WorkCalGenerator.hpp"

#include <utility>

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

class WorkCal final : public automation::Object, public host::IWorkCal {
  public:
    automation::Variant InitCal(std::string propsString, double& startDay, double& endDay,
                                automation::VBool& satNotWork, automation::VBool& sunNotWork,
                                std::string& errorText) override {
        try {
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
    if (automation::OleDaySerial(startDay) < automation::OleDaySerial(endDay) &&
        rule.IsRestDay(startDay)) {
        throw automation::ComError(automation::errors::kUnspecified, kSource,
                                   automation::MarkedText(component::kRestDayStart));
    }
    CalendarStore store(connection);
    data::InTransaction(connection, [&] {
        store.ClaimCalendar();
        if (existing == ExistingCalendar::Keep && store.HasDays()) {
            throw CalendarExists(automation::errors::kUnspecified, kSource,
                                 automation::MarkedText("工厂日历已经存在"));
        }
        store.DeleteDays();
        const WrittenDays written = store.WriteDays(startDay, endDay, rule);
        // A calendar recorded as set must have days: an empty one fails every later
        // reading of the calendar.
        store.PutSetting("WorkCalendarSet", written.Days > 0 ? "1" : "0");
        store.PutSetting("SatNotWork", satNotWork ? "1" : "0");
        store.PutSetting("SunNotWork", sunNotWork ? "1" : "0");
    });
}

void RegisterWorkCalGenerator() {
    automation::RegisterFactory(host::progid::kWorkCal, [] { return std::make_shared<WorkCal>(); });
}

}  // namespace zev::suite
