#pragma once

#include <cstdint>

namespace zev::component {

// Direction of a work-day step. Only zero and non-zero are told apart: every value
// other than Dir_Backward steps forward.
enum Enu_Direction : int32_t {
    Dir_Backward = 0,
    Dir_Forward = 1,
};

}  // namespace zev::component
