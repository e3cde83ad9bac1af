// SysObjects::GetGLData: creation of the access checker by its ProgID.

#include "host/SysObjects.hpp"

#include "platform/automation/ObjectRegistry.hpp"

namespace zev::host::SysObjects {

std::shared_ptr<IGLData> GetGLData() {
    return automation::CreateObjectAs<IGLData>(progid::kGLData);
}

}  // namespace zev::host::SysObjects
