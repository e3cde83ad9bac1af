#pragma once
// Automation objects behind the binary interface of zevworkcal/automation.h: reference counting,
// the library's count of live objects and server locks, VARIANT <-> Variant, failures as HRESULTs
// and EXCEPINFO, and IDispatch over any IDispatchTarget.

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/ComError.hpp"
#include "platform/automation/Dispatch.hpp"
#include "platform/automation/Object.hpp"
#include "platform/automation/Variant.hpp"
#include "zevworkcal/automation.h"

namespace zev::automation::com {

// Live objects (class factories included) and server locks of the library.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
// Adds or removes a server lock; removing one that was never added is E_UNEXPECTED.
HRESULT LockServer(bool lock) noexcept;
// S_OK when no object and no lock is alive, S_FALSE otherwise.
HRESULT CanUnloadNow() noexcept;

// The HRESULT a failure numbered `number` travels as: 0x800A0000 | number for run-time
// error numbers 1 to 65535, a failing HRESULT as it stands. Any other number (0, or one
// from 65536 up, which would read as success) becomes E_FAIL, so that a failure never
// reaches a caller as success.
HRESULT HresultOf(int32_t number) noexcept;
// The HRESULT of the exception being handled. Call only inside a catch block.
HRESULT CurrentExceptionHresult() noexcept;

// A malloc'ed copy of `text` for the caller to free(); nullptr when memory runs out.
char* AllocText(std::string_view text) noexcept;

// The calling thread's error information (see zevworkcal/automation.h): what the last failing call
// through a binary interface recorded. Calls clear it when they begin.
void ClearErrorInfo() noexcept;
// Records a failure numbered `hr` of interface `iid`; `description` as users read it.
void SetErrorInfo(HRESULT hr, const GUID& iid, const ErrorInfo& error,
                  std::string description) noexcept;
// Hands the recorded error object to the caller (one reference) and clears it; S_FALSE
// and nullptr when there is none.
HRESULT TakeErrorInfo(IErrorInfo** out) noexcept;

// An argument that a Variant cannot stand for: the HRESULT Invoke answers with.
struct ArgumentError {
    HRESULT Code;
};

// A VARIANT argument as a Variant; throws ArgumentError for a type or a reference that
// cannot be read. VT_DISPATCH arguments keep a reference to the caller's object.
Variant FromAbi(const VARIANT& v);
// Writes a result; text is malloc'ed, objects are handed out with a reference. Objects
// that answer dispatch calls are wrapped; any other object fails with 430.
void ToAbi(const Variant& value, VARIANT* out);

// An object of the caller's, held as an argument value.
class ForeignDispatch final : public Object {
  public:
    explicit ForeignDispatch(IDispatch* object) noexcept;
    ~ForeignDispatch() override;
    ForeignDispatch(const ForeignDispatch&) = delete;
    ForeignDispatch& operator=(const ForeignDispatch&) = delete;
    IDispatch* Get() const noexcept { return object_; }

  private:
    IDispatch* object_;
};

// An object with one interface pointer, which stands for every interface it implements.
// It starts with one reference, held by whoever created it.
class ComObject {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    template <class I>
    I* As() noexcept {
        return reinterpret_cast<I*>(&slot_);
    }
    // The object behind an interface pointer handed out by As().
    static ComObject& FromInterface(const void* iface) noexcept {
        return *static_cast<const Slot*>(iface)->self;
    }

    ULONG AddRef() noexcept;
    ULONG Release() noexcept;
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept;

  protected:
    // What the caller's pointer points to: the vtable first, as the ABI reads it.
    struct Slot {
        const void* lpVtbl;
        ComObject* self;
    };

    explicit ComObject(const void* vtable) noexcept;
    virtual ~ComObject();
    virtual bool Implements(const GUID& iid) const noexcept = 0;
    // The pointer QueryInterface hands out for `iid`: the object's one slot for what
    // Implements names; an object with further interfaces gives their slots here.
    virtual void* InterfacePointer(const GUID& iid) noexcept;

  private:
    Slot slot_;
    std::atomic<ULONG> refs_{1};
};

// IDispatch (and a dual interface deriving from it) over an IDispatchTarget.
class DispatchObject : public ComObject {
  public:
    // A plain IDispatch object over `target`, with one reference.
    static IDispatch* Create(std::shared_ptr<IDispatchTarget> target);

    IDispatchTarget& Target() const noexcept { return *target_; }

    HRESULT GetIDsOfNames(REFIID riid, char** names, UINT count, DISPID* ids) noexcept;
    HRESULT Invoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, UINT* argErr) noexcept;

    // The IUnknown and IDispatch slots for an interface type I whose vtable starts with
    // them, so that a dual interface fills its first slots from here.
    template <class I>
    struct Slots {
        static HRESULT QueryInterface(I* self, REFIID riid, void** ppv) noexcept {
            return Of(self).QueryInterface(riid, ppv);
        }
        static ULONG AddRef(I* self) noexcept { return Of(self).AddRef(); }
        static ULONG Release(I* self) noexcept { return Of(self).Release(); }
        static HRESULT GetTypeInfoCount(I* /*self*/, UINT* count) noexcept {
            if (count == nullptr) return E_INVALIDARG;
            *count = 0;
            return S_OK;
        }
        static HRESULT GetTypeInfo(I* /*self*/, UINT /*index*/, LCID /*lcid*/,
                                   void** info) noexcept {
            if (info == nullptr) return E_INVALIDARG;
            *info = nullptr;
            return DISP_E_BADINDEX;
        }
        static HRESULT GetIDsOfNames(I* self, REFIID riid, char** names, UINT count, LCID /*lcid*/,
                                     DISPID* ids) noexcept {
            return Of(self).GetIDsOfNames(riid, names, count, ids);
        }
        static HRESULT Invoke(I* self, DISPID id, REFIID riid, LCID /*lcid*/, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                              UINT* argErr) noexcept {
            return Of(self).Invoke(id, riid, flags, params, result, excepInfo, argErr);
        }
        static DispatchObject& Of(I* self) noexcept {
            return static_cast<DispatchObject&>(FromInterface(self));
        }
    };

    // Ends a failed call inside its catch block: records the failure as the thread's error
    // information for interface `iid` (and in `excepInfo` when given) and returns the
    // HRESULT it travels as.
    HRESULT RecordFailure(const GUID& iid, EXCEPINFO* excepInfo = nullptr) const noexcept;

  protected:
    // `dualIid` names the interface of `vtable` when it is more than IDispatch.
    DispatchObject(const void* vtable, std::shared_ptr<IDispatchTarget> target,
                   const GUID* dualIid = nullptr) noexcept;
    bool Implements(const GUID& iid) const noexcept override;
    void* InterfacePointer(const GUID& iid) noexcept override;
    // The description of a failure as users read it in EXCEPINFO and error information.
    virtual std::string UserText(const std::string& description) const { return description; }

  private:
    static HRESULT InterfaceSupportsErrorInfo(IZevSupportErrorInfo* self, REFIID riid) noexcept;

    std::shared_ptr<IDispatchTarget> target_;
    const GUID* dualIid_;
    Slot supportErrorInfo_;  // ISupportErrorInfo and IZevSupportErrorInfo
};

}  // namespace zev::automation::com
