#pragma once
// One WorkDay question of the bulk call (clsCal::WorkDays): the member's arguments.

#include <cstdint>

#include "component/ZevEnum.hpp"

namespace zev::component {

struct WorkDayQuestion {
    double dtDay;
    Enu_Direction Direction;
    int32_t Interval;
};

}  // namespace zev::component
