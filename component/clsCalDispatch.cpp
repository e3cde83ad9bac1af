// clsCal by name and DISPID (clsCalDispatch.hpp): the member table and the calls it
// routes, with the arguments converted as Basic converts them.
#include "component/clsCalDispatch.hpp"

#include <array>

#include "zevworkcal/zevworkcal.h"

namespace zev::component {

using automation::Member;
using automation::MemberKind;
using automation::Variant;

namespace {

constexpr std::array<Member, 7> kMembers{{
    {"ActiveConnection", DISPID_clsCal_ActiveConnection, MemberKind::PropertyPut, 1},
    {"SystemName", DISPID_clsCal_SystemName, MemberKind::PropertyPut, 1},
    {"Show", DISPID_clsCal_Show, MemberKind::Method, 0},
    {"IsSetWorkCalendar", DISPID_clsCal_IsSetWorkCalendar, MemberKind::PropertyGet, 0},
    {"WorkDayBefore", DISPID_clsCal_WorkDayBefore, MemberKind::Method, 1},
    {"WorkDayAfter", DISPID_clsCal_WorkDayAfter, MemberKind::Method, 1},
    {"WorkDay", DISPID_clsCal_WorkDay, MemberKind::Method, 3},
}};

constexpr automation::MemberTable kTable{kMembers};

}  // namespace

const automation::MemberTable& clsCalMembers() {
    return kTable;
}

Variant clsCalDispatch::InvokeMember(const Member& member, std::span<const Variant> args) {
    switch (member.Id) {
        case DISPID_clsCal_ActiveConnection:
            cal_.ActiveConnection(automation::CStr(args[0]));
            return Variant();
        case DISPID_clsCal_SystemName:
            cal_.SystemName(automation::CStr(args[0]));
            return Variant();
        case DISPID_clsCal_Show:
            cal_.Show();
            return Variant();
        case DISPID_clsCal_IsSetWorkCalendar:
            return Variant::FromVBool(cal_.IsSetWorkCalendar());
        case DISPID_clsCal_WorkDayBefore:
            return Variant::FromDate(cal_.WorkDayBefore(automation::CDate(args[0])));
        case DISPID_clsCal_WorkDayAfter:
            return Variant::FromDate(cal_.WorkDayAfter(automation::CDate(args[0])));
        case DISPID_clsCal_WorkDay: {
            // Basic converts the arguments in order before the member runs.
            const double dtDay = automation::CDate(args[0]);
            const auto direction = static_cast<Enu_Direction>(automation::CLng(args[1]));
            const int32_t interval = automation::CLng(args[2]);
            return Variant::FromDate(cal_.WorkDay(dtDay, direction, interval));
        }
        default:
            automation::Raise(automation::errors::kNoSuchMember);
    }
}

}  // namespace zev::component
