// The access checker stand-in; exports its registration only.

#include "suite/GLData.hpp"

#include "host/MMTS.hpp"
#include "host/SuiteInterfaces.hpp"
#include "platform/automation/AsciiText.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::suite {
namespace {

class GLData final : public automation::Object, public host::IGLData {
  public:
    // The three numbers name the right asked for; this checker knows one switch for all
    // of them, read anew at every question so that a changed property takes effect.
    automation::VBool AccessCheck(int32_t, int32_t, int32_t) override {
        const std::string access = host::MMTS::GetPropsValue("CalendarAccess");
        return automation::ToVBool(!automation::EqualsNoCase(access, "read"));
    }
};

}  // namespace

void RegisterGLData() {
    automation::RegisterFactory(host::progid::kGLData, [] { return std::make_shared<GLData>(); });
}

}  // namespace zev::suite
