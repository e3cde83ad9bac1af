#pragma once
// SysObjects: hands out the suite's access checker.

#include <memory>

#include "host/SuiteInterfaces.hpp"

namespace zev::host::SysObjects {

// A new access checker ("VORUROduv.GLData") for one question; the caller releases it
// after use. A checker that cannot be created fails towards the caller.
std::shared_ptr<IGLData> GetGLData();

}  // namespace zev::host::SysObjects
