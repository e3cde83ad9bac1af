// The in-process server (ComServer.hpp): the class table, the class factory, and the
// library's exports; private: the factory object.
#include "platform/automation/ComServer.hpp"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "platform/automation/ClassRegistryFile.hpp"
#include "platform/automation/ComObject.hpp"

namespace zev::automation::com {
namespace {

struct ClassTable {
    std::mutex mutex;
    std::vector<ClassInfo> classes;
};

ClassTable& TheClassTable() {
    static ClassTable table;
    return table;
}

class ClassFactory final : public ComObject {
  public:
    explicit ClassFactory(std::function<IUnknown*()> create) noexcept
        : ComObject(&kVtbl), create_(std::move(create)) {}

  private:
    bool Implements(const GUID& iid) const noexcept override {
        return IsEqualGUID(&iid, &IID_IUnknown) || IsEqualGUID(&iid, &IID_IClassFactory);
    }

    static ClassFactory& Of(IClassFactory* self) noexcept {
        return static_cast<ClassFactory&>(FromInterface(self));
    }
    static HRESULT QueryInterface(IClassFactory* self, REFIID riid, void** ppv) noexcept {
        return Of(self).ComObject::QueryInterface(riid, ppv);
    }
    static ULONG AddRef(IClassFactory* self) noexcept { return Of(self).ComObject::AddRef(); }
    static ULONG Release(IClassFactory* self) noexcept { return Of(self).ComObject::Release(); }
    static HRESULT CreateInstance(IClassFactory* self, IUnknown* outer, REFIID riid,
                                  void** ppv) noexcept {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        IUnknown* object = nullptr;
        try {
            object = Of(self).create_();
        } catch (...) {
            return CurrentExceptionHresult();
        }
        if (object == nullptr) return E_OUTOFMEMORY;
        // The new object goes when the caller's reference does, or now if none was asked
        // for an interface it has.
        const HRESULT hr = object->lpVtbl->QueryInterface(object, riid, ppv);
        object->lpVtbl->Release(object);
        return hr;
    }
    static HRESULT LockServer(IClassFactory* /*self*/, BOOL lock) noexcept {
        return com::LockServer(lock != 0);
    }

    static const IClassFactoryVtbl kVtbl;
    std::function<IUnknown*()> create_;
};

const IClassFactoryVtbl ClassFactory::kVtbl = {
    &ClassFactory::QueryInterface, &ClassFactory::AddRef,     &ClassFactory::Release,
    &ClassFactory::CreateInstance, &ClassFactory::LockServer,
};

}  // namespace

void AddClass(ClassInfo info) {
    ClassTable& t = TheClassTable();
    const std::lock_guard lock(t.mutex);
    std::erase_if(t.classes,
                  [&](const ClassInfo& c) { return IsEqualGUID(&c.Clsid, &info.Clsid); });
    t.classes.push_back(std::move(info));
}

std::vector<ClassInfo> Classes() {
    ClassTable& t = TheClassTable();
    const std::lock_guard lock(t.mutex);
    return t.classes;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (clsid == nullptr || riid == nullptr) return E_INVALIDARG;
    try {
        std::function<IUnknown*()> create;
        for (const ClassInfo& c : Classes()) {
            if (IsEqualGUID(&c.Clsid, clsid)) create = c.Create;
        }
        if (!create) return CLASS_E_CLASSNOTAVAILABLE;
        ComObject* factory = new ClassFactory(std::move(create));
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    } catch (...) {
        return CurrentExceptionHresult();
    }
}

std::string ModulePathOf(const void* address) {
    Dl_info info{};
    std::string name;
    if (::dladdr(address, &info) != 0 && info.dli_fname != nullptr) name = info.dli_fname;
    // The main program may be named by its argv[0] alone; its file is known for sure.
    if (name.find('/') == std::string::npos) name = "/proc/self/exe";
    char resolved[PATH_MAX];
    if (::realpath(name.c_str(), resolved) == nullptr) {
        throw std::runtime_error("cannot find the file of the library: " + name);
    }
    return resolved;
}

HRESULT RegisterServer(const void* addressInLibrary, std::string_view fileName) noexcept {
    try {
        std::string library = ModulePathOf(addressInLibrary);
        if (!fileName.empty()) {
            library = (std::filesystem::path(library).parent_path() / fileName).string();
        }
        const std::string file = RegistryFilePath();
        for (const ClassInfo& c : Classes()) {
            WriteEntry(file, RegistryEntry{c.ProgId, GuidText(c.Clsid), library, c.ThreadingModel});
        }
        return S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT UnregisterServer() noexcept {
    try {
        const std::string file = RegistryFilePath();
        for (const ClassInfo& c : Classes()) {
            RemoveEntry(file, c.ProgId, GuidText(c.Clsid));
        }
        return S_OK;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

}  // namespace zev::automation::com
