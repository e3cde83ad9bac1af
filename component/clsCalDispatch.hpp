#pragma once
// clsCal answering calls by member name and DISPID with Variant arguments, as hosts that
// bind late call it. Arguments are converted as Basic converts them on the way into a
// typed member: dates with CDate, Direction and Interval with CLng, texts with CStr.

#include <span>

#include "component/clsCal.hpp"
#include "platform/automation/Dispatch.hpp"
#include "platform/automation/Object.hpp"

namespace zev::component {

// The members of _clsCal in the order of their vtable slots.
const automation::MemberTable& clsCalMembers();

// One clsCal object; destroying this is the object's final release.
class clsCalDispatch final : public automation::Object, public automation::IDispatchTarget {
  public:
    clsCalDispatch() = default;
    clsCal& Cal() noexcept { return cal_; }

    const automation::MemberTable& Members() const override { return clsCalMembers(); }
    automation::Variant InvokeMember(const automation::Member& member,
                                     std::span<const automation::Variant> args) override;

  private:
    clsCal cal_;
};

}  // namespace zev::component
