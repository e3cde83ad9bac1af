// The composition root of libZevWorkCal.so: loading the library registers the suite's
// components, the maintenance window and the class clsCal; the four server entry points
// are all it exports (ZevWorkCal.map hides the rest).

#include "component/clsCalCom.hpp"
#include "platform/automation/ComObject.hpp"
#include "platform/automation/ComServer.hpp"
#include "suite/Register.hpp"
#include "window/QtFrontEnd.hpp"

namespace {

namespace com = zev::automation::com;

struct LoadTimeRegistration {
    LoadTimeRegistration() {
        zev::suite::RegisterSuite();
        zev::window::RegisterQtWindow();
        zev::component::RegisterClsCalClass();
    }
} const registration;

// An address inside this library, by which registration finds the library's file.
const char kLibraryAnchor = 0;

}  // namespace

extern "C" {

ZEV_ABI_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return com::GetClassObject(rclsid, riid, ppv);
}

ZEV_ABI_EXPORT HRESULT DllCanUnloadNow(void) {
    return com::CanUnloadNow();
}

// Records the versioned file (libZevWorkCal.so.1), which stays valid when the library is
// updated within its major version, whichever name the host loaded it by.
ZEV_ABI_EXPORT HRESULT DllRegisterServer(void) {
    return com::RegisterServer(&kLibraryAnchor, ZEV_LIBRARY_SONAME);
}

ZEV_ABI_EXPORT HRESULT DllUnregisterServer(void) {
    return com::UnregisterServer();
}

}  // extern "C"
