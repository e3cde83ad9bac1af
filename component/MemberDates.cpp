// DateText (MemberDates.hpp): the date text of clsCal's statements.
#include "component/MemberDates.hpp"

#include "host/SuiteInterfaces.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::component {

std::string DateText(double dtDay) {
    auto formatter =
        automation::CreateObjectAs<host::IDateTimeFormatInfo>(host::progid::kDateTimeFormatInfo);
    double day = dtDay;
    return formatter->ZevDateFormat(day, "YYYY-MM-DD");
}

}  // namespace zev::component
