// DateText and FormattedDay (MemberDates.hpp): the dates of clsCal's statements.
#include "component/MemberDates.hpp"

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"
#include "platform/automation/OleDate.hpp"

namespace zev::component {

std::string DateText(double dtDay) {
    auto formatter =
        automation::CreateObjectAs<host::IDateTimeFormatInfo>(host::progid::kDateTimeFormatInfo);
    double day = dtDay;
    return formatter->ZevDateFormat(day, "YYYY-MM-DD");
}

std::optional<int32_t> FormattedDay(double dtDay) {
    if (!automation::IsValidOleDate(dtDay) || dtDay > automation::kMaxOleDate) {
        return std::nullopt;
    }
    return automation::OleDaySerial(dtDay);
}

}  // namespace zev::component
