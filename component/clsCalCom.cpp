// clsCal as an automation object (clsCalCom.hpp): the dual interface's methods over
// clsCal and its class registration; private: the object class.
#include "component/clsCalCom.hpp"

#include <memory>

#include "component/clsCalDispatch.hpp"
#include "host/MMTS.hpp"
#include "platform/automation/ComObject.hpp"
#include "platform/automation/ComServer.hpp"
#include "platform/automation/ObjectRegistry.hpp"

namespace zev::component {
namespace {

namespace com = automation::com;

class clsCalObject final : public com::DispatchObject {
  public:
    explicit clsCalObject(std::shared_ptr<clsCalDispatch> dispatch) noexcept
        : DispatchObject(&kVtbl, dispatch, &IID_clsCal), cal_(dispatch->Cal()) {}

  protected:
    // Descriptions are shown to users, so they go through the text lookup.
    std::string UserText(const std::string& description) const override {
        return host::MMTS::LoadLocalText(description, 0);
    }

  private:
    using Slots = DispatchObject::Slots<ZevClsCal>;

    static clsCal& CalOf(ZevClsCal* self) noexcept {
        return static_cast<clsCalObject&>(Slots::Of(self)).cal_;
    }

    // Runs a member: its failure becomes the HRESULT and the thread's error information,
    // nothing escapes into the caller. `out`, when given, is where the result goes.
    template <class F>
    static HRESULT Guarded(ZevClsCal* self, const void* out, F&& body) noexcept {
        com::ClearErrorInfo();
        if (out == nullptr) return E_POINTER;
        try {
            body();
            return S_OK;
        } catch (...) {
            return Slots::Of(self).RecordFailure(IID_clsCal);
        }
    }

    static HRESULT PutActiveConnection(ZevClsCal* self, BSTR text) noexcept {
        return Guarded(self, self,
                       [&] { CalOf(self).ActiveConnection(text == nullptr ? "" : text); });
    }
    static HRESULT PutSystemName(ZevClsCal* self, BSTR text) noexcept {
        return Guarded(self, self, [&] { CalOf(self).SystemName(text == nullptr ? "" : text); });
    }
    static HRESULT Show(ZevClsCal* self) noexcept {
        return Guarded(self, self, [&] { CalOf(self).Show(); });
    }
    static HRESULT GetIsSetWorkCalendar(ZevClsCal* self, VARIANT_BOOL* result) noexcept {
        return Guarded(self, result, [&] { *result = CalOf(self).IsSetWorkCalendar(); });
    }
    static HRESULT WorkDayBefore(ZevClsCal* self, DATE dtDay, DATE* result) noexcept {
        return Guarded(self, result, [&] { *result = CalOf(self).WorkDayBefore(dtDay); });
    }
    static HRESULT WorkDayAfter(ZevClsCal* self, DATE dtDay, DATE* result) noexcept {
        return Guarded(self, result, [&] { *result = CalOf(self).WorkDayAfter(dtDay); });
    }
    static HRESULT WorkDay(ZevClsCal* self, DATE dtDay, int32_t direction, LONG interval,
                           DATE* result) noexcept {
        return Guarded(self, result, [&] {
            *result = CalOf(self).WorkDay(dtDay, static_cast<Enu_Direction>(direction), interval);
        });
    }

    static const ZevClsCalVtbl kVtbl;
    clsCal& cal_;
};

const ZevClsCalVtbl clsCalObject::kVtbl = {
    &Slots::QueryInterface,
    &Slots::AddRef,
    &Slots::Release,
    &Slots::GetTypeInfoCount,
    &Slots::GetTypeInfo,
    &Slots::GetIDsOfNames,
    &Slots::Invoke,
    &clsCalObject::PutActiveConnection,
    &clsCalObject::PutSystemName,
    &clsCalObject::Show,
    &clsCalObject::GetIsSetWorkCalendar,
    &clsCalObject::WorkDayBefore,
    &clsCalObject::WorkDayAfter,
    &clsCalObject::WorkDay,
};

}  // namespace

IDispatch* CreateClsCalObject() {
    return (new clsCalObject(std::make_shared<clsCalDispatch>()))->As<IDispatch>();
}

void RegisterClsCalClass() {
    com::AddClass(com::ClassInfo{
        CLSID_clsCal, ZEV_PROGID_clsCal, ZEV_THREADING_MODEL,
        [] { return (new clsCalObject(std::make_shared<clsCalDispatch>()))->As<IUnknown>(); }});
    automation::RegisterFactory(ZEV_PROGID_clsCal,
                                [] { return std::make_shared<clsCalDispatch>(); });
}

}  // namespace zev::component
