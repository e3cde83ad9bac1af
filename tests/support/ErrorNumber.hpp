#pragma once

#include <cstdint>
#include <functional>

#include "platform/automation/ComError.hpp"

namespace zev::test {

// The error number a call fails with; 0 when it succeeds.
inline int32_t ErrorNumberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const automation::ComError& e) {
        return e.Number();
    }
    return 0;
}

}  // namespace zev::test
