// Automation objects (ComObject.hpp): VARIANT <-> Variant, the error-info object and the
// thread's error info, object counts, and IDispatch over an IDispatchTarget.
#include "platform/automation/ComObject.hpp"

#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace zev::automation::com {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

constexpr uint16_t InvokeFlagsOf(WORD flags) {
    return static_cast<uint16_t>(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET |
                                          DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF));
}

HRESULT DispatchFaultHresult(DispatchFault fault) {
    switch (fault) {
        case DispatchFault::UnknownName:
            return DISP_E_UNKNOWNNAME;
        case DispatchFault::UnknownMember:
        case DispatchFault::WrongKind:
            return DISP_E_MEMBERNOTFOUND;
        case DispatchFault::BadArgCount:
            return DISP_E_BADPARAMCOUNT;
    }
    return E_UNEXPECTED;
}

// Reads a reference argument's target; a null reference cannot be read.
template <class T>
const T& Deref(const T* p) {
    if (p == nullptr) throw ArgumentError{E_INVALIDARG};
    return *p;
}

Variant ObjectArgument(IDispatch* object) {
    if (object == nullptr) return Variant(ObjectPtr());
    return Variant(ObjectPtr(std::make_shared<ForeignDispatch>(object)));
}

Variant FromAbiValue(const VARIANT& v, bool nested) {
    switch (v.vt) {
        case VT_EMPTY:
            return Variant();
        case VT_NULL:
            return Variant::Null();
        case VT_I2:
            return Variant(static_cast<int16_t>(v.iVal));
        case VT_I4:
            return Variant(static_cast<int32_t>(v.lVal));
        case VT_R8:
            return Variant(v.dblVal);
        case VT_DATE:
            return Variant::FromDate(v.date);
        case VT_BSTR:
            return Variant(v.bstrVal == nullptr ? "" : v.bstrVal);
        case VT_BOOL:
            return Variant::FromVBool(v.boolVal);
        case VT_DISPATCH:
            return ObjectArgument(v.pdispVal);
        // A missing argument arrives as this error value; no member has optional ones.
        case VT_ERROR:
            throw ArgumentError{v.scode == DISP_E_PARAMNOTFOUND ? DISP_E_PARAMNOTOPTIONAL
                                                                : DISP_E_TYPEMISMATCH};
        case VT_BYREF | VT_I2:
            return Variant(static_cast<int16_t>(Deref(v.piVal)));
        case VT_BYREF | VT_I4:
            return Variant(static_cast<int32_t>(Deref(v.plVal)));
        case VT_BYREF | VT_R8:
            return Variant(Deref(v.pdblVal));
        case VT_BYREF | VT_DATE:
            return Variant::FromDate(Deref(v.pdate));
        case VT_BYREF | VT_BSTR: {
            const BSTR text = Deref(v.pbstrVal);
            return Variant(text == nullptr ? "" : text);
        }
        case VT_BYREF | VT_BOOL:
            return Variant::FromVBool(Deref(v.pboolVal));
        case VT_BYREF | VT_DISPATCH:
            return ObjectArgument(Deref(v.ppdispVal));
        case VT_BYREF | VT_VARIANT:
            // A reference to a reference is not a valid argument; refusing it also keeps
            // a self-referring VARIANT from looping.
            if (nested) throw ArgumentError{DISP_E_BADVARTYPE};
            return FromAbiValue(Deref(v.pvarVal), true);
        default:
            throw ArgumentError{DISP_E_BADVARTYPE};
    }
}

// What a failure recorded for its thread.
struct ThreadError {
    HRESULT Number = S_OK;
    GUID Iid{};
    std::string Source;
    std::string Description;
    std::string HelpFile;
    DWORD HelpContext = 0;
};

std::optional<ThreadError>& ThreadErrorSlot() {
    thread_local std::optional<ThreadError> error;
    return error;
}

HRESULT TextOut(BSTR* out, const std::string& text, bool nullWhenEmpty = false) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (nullWhenEmpty && text.empty()) return S_OK;
    *out = AllocText(text);
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// The error object a host receives: IErrorInfo, and IZevErrorInfo with the number.
class ErrorInfoObject final : public ComObject {
  public:
    explicit ErrorInfoObject(ThreadError error) noexcept
        : ComObject(&kVtbl), error_(std::move(error)) {}

  protected:
    bool Implements(const GUID& iid) const noexcept override {
        return IsEqualGUID(&iid, &IID_IUnknown) || IsEqualGUID(&iid, &IID_IErrorInfo) ||
               IsEqualGUID(&iid, &IID_IZevErrorInfo);
    }

  private:
    static const ThreadError& Of(IZevErrorInfo* self) noexcept {
        return static_cast<ErrorInfoObject&>(FromInterface(self)).error_;
    }
    static HRESULT QueryInterface(IZevErrorInfo* self, REFIID riid, void** ppv) noexcept {
        return FromInterface(self).QueryInterface(riid, ppv);
    }
    static ULONG AddRef(IZevErrorInfo* self) noexcept { return FromInterface(self).AddRef(); }
    static ULONG Release(IZevErrorInfo* self) noexcept { return FromInterface(self).Release(); }
    static HRESULT GetGUID(IZevErrorInfo* self, GUID* guid) noexcept {
        if (guid == nullptr) return E_POINTER;
        *guid = Of(self).Iid;
        return S_OK;
    }
    static HRESULT GetSource(IZevErrorInfo* self, BSTR* out) noexcept {
        return TextOut(out, Of(self).Source);
    }
    static HRESULT GetDescription(IZevErrorInfo* self, BSTR* out) noexcept {
        return TextOut(out, Of(self).Description);
    }
    static HRESULT GetHelpFile(IZevErrorInfo* self, BSTR* out) noexcept {
        return TextOut(out, Of(self).HelpFile, true);
    }
    static HRESULT GetHelpContext(IZevErrorInfo* self, DWORD* context) noexcept {
        if (context == nullptr) return E_POINTER;
        *context = Of(self).HelpContext;
        return S_OK;
    }
    static HRESULT GetNumber(IZevErrorInfo* self, HRESULT* number) noexcept {
        if (number == nullptr) return E_POINTER;
        *number = Of(self).Number;
        return S_OK;
    }

    static const IZevErrorInfoVtbl kVtbl;
    ThreadError error_;
};

const IZevErrorInfoVtbl ErrorInfoObject::kVtbl = {
    &ErrorInfoObject::QueryInterface, &ErrorInfoObject::AddRef,
    &ErrorInfoObject::Release,        &ErrorInfoObject::GetGUID,
    &ErrorInfoObject::GetSource,      &ErrorInfoObject::GetDescription,
    &ErrorInfoObject::GetHelpFile,    &ErrorInfoObject::GetHelpContext,
    &ErrorInfoObject::GetNumber,
};

}  // namespace

void ClearErrorInfo() noexcept {
    ThreadErrorSlot().reset();
}

void SetErrorInfo(HRESULT hr, const GUID& iid, const ErrorInfo& error,
                  std::string description) noexcept {
    try {
        ThreadErrorSlot() = ThreadError{hr,
                                        iid,
                                        error.Source,
                                        std::move(description),
                                        error.HelpFile,
                                        static_cast<DWORD>(error.HelpContext)};
    } catch (...) {
        ThreadErrorSlot().reset();  // out of memory: better none than a stale one
    }
}

HRESULT TakeErrorInfo(IErrorInfo** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    std::optional<ThreadError>& slot = ThreadErrorSlot();
    if (!slot) return S_FALSE;
    auto* object = new (std::nothrow) ErrorInfoObject(std::move(*slot));
    slot.reset();
    if (object == nullptr) return E_OUTOFMEMORY;
    *out = object->As<IErrorInfo>();
    return S_OK;
}

void ObjectCreated() noexcept {
    liveObjects.fetch_add(1);
}
void ObjectDestroyed() noexcept {
    liveObjects.fetch_sub(1);
}

HRESULT LockServer(bool lock) noexcept {
    if (lock) {
        serverLocks.fetch_add(1);
        return S_OK;
    }
    long current = serverLocks.load();
    do {
        if (current <= 0) return E_UNEXPECTED;
    } while (!serverLocks.compare_exchange_weak(current, current - 1));
    return S_OK;
}

HRESULT CanUnloadNow() noexcept {
    return liveObjects.load() == 0 && serverLocks.load() == 0 ? S_OK : S_FALSE;
}

HRESULT HresultOf(int32_t number) noexcept {
    if (number > 0 && number < 65536) return ZEV_RUNTIME_ERROR_HRESULT(number);
    if (number < 0) return number;
    return E_FAIL;
}

HRESULT CurrentExceptionHresult() noexcept {
    try {
        return HresultOf(CurrentExceptionAsError().Number());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

char* AllocText(std::string_view text) noexcept {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

Variant FromAbi(const VARIANT& v) {
    return FromAbiValue(v, false);
}

void ToAbi(const Variant& value, VARIANT* out) {
    VARIANT v{};
    switch (value.Type()) {
        case VarType::Empty:
            v.vt = VT_EMPTY;
            break;
        case VarType::Null:
            v.vt = VT_NULL;
            break;
        case VarType::Boolean:
            v.vt = VT_BOOL;
            v.boolVal = CBool(value) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VarType::Integer:
            v.vt = VT_I2;
            v.iVal = CInt(value);
            break;
        case VarType::Long:
            v.vt = VT_I4;
            v.lVal = CLng(value);
            break;
        case VarType::Double:
            v.vt = VT_R8;
            v.dblVal = CDbl(value);
            break;
        case VarType::Date:
            v.vt = VT_DATE;
            v.date = CDate(value);
            break;
        case VarType::String:
            v.vt = VT_BSTR;
            v.bstrVal = AllocText(value.StringRef());
            if (v.bstrVal == nullptr) throw std::bad_alloc();
            break;
        case VarType::Object: {
            const ObjectPtr& object = value.ObjectRef();
            v.vt = VT_DISPATCH;
            if (!object) {
                v.pdispVal = nullptr;
            } else if (auto foreign = std::dynamic_pointer_cast<ForeignDispatch>(object)) {
                v.pdispVal = foreign->Get();
                v.pdispVal->lpVtbl->AddRef(v.pdispVal);
            } else if (auto target = std::dynamic_pointer_cast<IDispatchTarget>(object)) {
                v.pdispVal = DispatchObject::Create(std::move(target));
            } else {
                Raise(errors::kNoSuchInterface);
            }
            break;
        }
    }
    *out = v;
}

ForeignDispatch::ForeignDispatch(IDispatch* object) noexcept : object_(object) {
    object_->lpVtbl->AddRef(object_);
}

ForeignDispatch::~ForeignDispatch() {
    object_->lpVtbl->Release(object_);
}

ComObject::ComObject(const void* vtable) noexcept : slot_{vtable, this} {
    ObjectCreated();
}

ComObject::~ComObject() {
    ObjectDestroyed();
}

ULONG ComObject::AddRef() noexcept {
    return refs_.fetch_add(1) + 1;
}

ULONG ComObject::Release() noexcept {
    const ULONG left = refs_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT ComObject::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == nullptr) return E_INVALIDARG;
    void* pointer = InterfacePointer(*riid);
    if (pointer == nullptr) return E_NOINTERFACE;
    AddRef();
    *ppv = pointer;
    return S_OK;
}

void* ComObject::InterfacePointer(const GUID& iid) noexcept {
    return Implements(iid) ? &slot_ : nullptr;
}

namespace {
const IDispatchVtbl kPlainDispatchVtbl = {
    &DispatchObject::Slots<IDispatch>::QueryInterface,
    &DispatchObject::Slots<IDispatch>::AddRef,
    &DispatchObject::Slots<IDispatch>::Release,
    &DispatchObject::Slots<IDispatch>::GetTypeInfoCount,
    &DispatchObject::Slots<IDispatch>::GetTypeInfo,
    &DispatchObject::Slots<IDispatch>::GetIDsOfNames,
    &DispatchObject::Slots<IDispatch>::Invoke,
};

class PlainDispatchObject final : public DispatchObject {
  public:
    explicit PlainDispatchObject(std::shared_ptr<IDispatchTarget> target) noexcept
        : DispatchObject(&kPlainDispatchVtbl, std::move(target)) {}
};
}  // namespace

IDispatch* DispatchObject::Create(std::shared_ptr<IDispatchTarget> target) {
    return (new PlainDispatchObject(std::move(target)))->As<IDispatch>();
}

namespace {
HRESULT SupportQueryInterface(IZevSupportErrorInfo* self, REFIID riid, void** ppv) noexcept {
    return ComObject::FromInterface(self).QueryInterface(riid, ppv);
}
ULONG SupportAddRef(IZevSupportErrorInfo* self) noexcept {
    return ComObject::FromInterface(self).AddRef();
}
ULONG SupportRelease(IZevSupportErrorInfo* self) noexcept {
    return ComObject::FromInterface(self).Release();
}
HRESULT SupportGetErrorInfo(IZevSupportErrorInfo* /*self*/, DWORD reserved,
                            IErrorInfo** out) noexcept {
    if (out != nullptr) *out = nullptr;
    if (reserved != 0) return E_INVALIDARG;
    return TakeErrorInfo(out);
}
}  // namespace

DispatchObject::DispatchObject(const void* vtable, std::shared_ptr<IDispatchTarget> target,
                               const GUID* dualIid) noexcept
    : ComObject(vtable), target_(std::move(target)), dualIid_(dualIid) {
    static const IZevSupportErrorInfoVtbl kSupportVtbl = {
        &SupportQueryInterface, &SupportAddRef, &SupportRelease,
        &DispatchObject::InterfaceSupportsErrorInfo, &SupportGetErrorInfo};
    supportErrorInfo_ = Slot{&kSupportVtbl, this};
}

bool DispatchObject::Implements(const GUID& iid) const noexcept {
    return IsEqualGUID(&iid, &IID_IUnknown) || IsEqualGUID(&iid, &IID_IDispatch) ||
           (dualIid_ != nullptr && IsEqualGUID(&iid, dualIid_));
}

void* DispatchObject::InterfacePointer(const GUID& iid) noexcept {
    if (IsEqualGUID(&iid, &IID_ISupportErrorInfo) || IsEqualGUID(&iid, &IID_IZevSupportErrorInfo)) {
        return &supportErrorInfo_;
    }
    return ComObject::InterfacePointer(iid);
}

HRESULT DispatchObject::InterfaceSupportsErrorInfo(IZevSupportErrorInfo* self,
                                                   REFIID riid) noexcept {
    if (riid == nullptr) return E_INVALIDARG;
    const auto& object = static_cast<const DispatchObject&>(FromInterface(self));
    return IsEqualGUID(riid, &IID_IDispatch) ||
                   (object.dualIid_ != nullptr && IsEqualGUID(riid, object.dualIid_))
               ? S_OK
               : S_FALSE;
}

HRESULT DispatchObject::RecordFailure(const GUID& iid, EXCEPINFO* excepInfo) const noexcept {
    ErrorInfo error;
    try {
        error = CurrentExceptionAsError().Info();
    } catch (...) {
        ClearErrorInfo();
        if (excepInfo != nullptr) {
            *excepInfo = EXCEPINFO{};
            excepInfo->scode = E_OUTOFMEMORY;
        }
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = HresultOf(error.Number);
    std::string description;
    try {
        description = UserText(error.Description);
    } catch (...) {
        description = error.Description;
    }
    if (excepInfo != nullptr) {
        *excepInfo = EXCEPINFO{};
        excepInfo->scode = hr;
        excepInfo->bstrSource = AllocText(error.Source);
        excepInfo->bstrDescription = AllocText(description);
        if (!error.HelpFile.empty()) excepInfo->bstrHelpFile = AllocText(error.HelpFile);
        excepInfo->dwHelpContext = static_cast<DWORD>(error.HelpContext);
    }
    SetErrorInfo(hr, iid, error, std::move(description));
    return hr;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID riid, char** names, UINT count, DISPID* ids) noexcept {
    if (riid != nullptr && !IsEqualGUID(riid, &IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_INVALIDARG;
    // Only member names are known; parameter names (the further entries) are not.
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        if (i > 0 || names[i] == nullptr) {
            hr = DISP_E_UNKNOWNNAME;
            continue;
        }
        const Member* member = target_->Members().FindByName(names[i]);
        if (member == nullptr) {
            hr = DISP_E_UNKNOWNNAME;
        } else {
            ids[i] = member->Id;
        }
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) noexcept {
    ClearErrorInfo();
    if (riid != nullptr && !IsEqualGUID(riid, &IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{};
    if (params == nullptr) params = &none;
    if ((params->cArgs > 0 && params->rgvarg == nullptr) || params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
        return E_INVALIDARG;
    }
    // A put names its value DISPID_PROPERTYPUT; no member takes other named arguments.
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
        if (params->cNamedArgs == 0) return DISP_E_PARAMNOTFOUND;
        if (params->cNamedArgs > 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_NONAMEDARGS;
        }
    } else if (params->cNamedArgs > 0) {
        return DISP_E_NONAMEDARGS;
    }

    try {
        // rgvarg runs last to first; a put's value (rgvarg[0]) goes last.
        std::vector<Variant> args;
        args.reserve(params->cArgs);
        const UINT first = put ? 1 : 0;
        for (UINT i = params->cArgs; i-- > first;) {
            try {
                args.push_back(FromAbi(params->rgvarg[i]));
            } catch (const ArgumentError& e) {
                if (argErr != nullptr) *argErr = i;
                return e.Code;
            }
        }
        if (put) {
            try {
                args.push_back(FromAbi(params->rgvarg[0]));
            } catch (const ArgumentError& e) {
                if (argErr != nullptr) *argErr = 0;
                return e.Code;
            }
        }

        Variant value;
        try {
            value = automation::Invoke(*target_, id, InvokeFlagsOf(flags), args);
        } catch (const DispatchError& e) {
            return DispatchFaultHresult(e.Fault());
        }
        if (result != nullptr) ToAbi(value, result);
        return S_OK;
    } catch (...) {
        RecordFailure(dualIid_ != nullptr ? *dualIid_ : IID_IDispatch, excepInfo);
        return DISP_E_EXCEPTION;
    }
}

}  // namespace zev::automation::com
