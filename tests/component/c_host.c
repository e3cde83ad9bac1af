/*
 * A host written in C: loads libZevWorkCal.so, creates clsCal through the class factory
 * and calls it by DISPID through IDispatch::Invoke, as a host that binds late does, and
 * through its interface table.
 *
 * Failures through the interface table come with the thread's error object.
 *
 * Usage: c_host LIBRARY. The process property string (ZEVWORKCAL_PROPS) names a database
 * with the calendar 2009-06-01 .. 2009-06-10, weekends rest days. Exit 0 when every check
 * holds, 1 otherwise, 2 when the library cannot be used at all.
 * c_host LIBRARY show opens the maintenance window through the interface table instead,
 * and exits 0 when Show returned S_OK.
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zevworkcal/zevworkcal.h"

static int failures = 0;

#define CHECK(cond, ...)                                            \
    do {                                                            \
        if (!(cond)) {                                              \
            fprintf(stderr, "c_host:%d: check failed: ", __LINE__); \
            fprintf(stderr, __VA_ARGS__);                           \
            fputc('\n', stderr);                                    \
            ++failures;                                             \
        }                                                           \
    } while (0)

/* OLE dates of the example calendar, from the header's helpers (CheckDateHelpers). */
static DATE kMay1;  /* 2009-05-01, before the calendar */
static DATE kJune5; /* Friday, a work day */
static DATE kJune7; /* Sunday, a rest day */

static void CheckDateHelpers(void) {
    int year = 0, month = 0, day = 0;
    time_t midnight = 0;
    DATE fromTime = 0;
    CHECK(ZevOleDateFromCivil(2009, 5, 1, &kMay1) && kMay1 == 39934.0, "2009-05-01");
    CHECK(ZevOleDateFromCivil(2009, 6, 5, &kJune5) && kJune5 == 39969.0, "2009-06-05");
    CHECK(ZevOleDateFromCivil(2009, 6, 7, &kJune7) && kJune7 == 39971.0, "2009-06-07");
    CHECK(ZevOleDateToCivil(kJune7 + 0.5, &year, &month, &day) && year == 2009 && month == 6 &&
              day == 7,
          "ZevOleDateToCivil gave %d-%d-%d", year, month, day);
    CHECK(ZevOleDateToTime(kJune5, &midnight) && midnight == (time_t)1244160000,
          "2009-06-05 00:00 UTC");
    CHECK(ZevOleDateFromTime(midnight + 86399, &fromTime) && fromTime == kJune5,
          "the last second of 2009-06-05 UTC");
}

/* The window, as a host opens it: create, connect, Show, release. */
static int ShowWindow(PFN_DllGetClassObject getClassObject) {
    IClassFactory* factory = NULL;
    ZevClsCal* cal = NULL;
    char empty[] = "";
    HRESULT hr = getClassObject(&CLSID_clsCal, &IID_IClassFactory, (void**)&factory);
    if (hr != S_OK) return 2;
    hr = factory->lpVtbl->CreateInstance(factory, NULL, &IID_clsCal, (void**)&cal);
    factory->lpVtbl->Release(factory);
    if (hr != S_OK) return 2;
    hr = cal->lpVtbl->put_ActiveConnection(cal, empty);
    if (hr == S_OK) hr = cal->lpVtbl->Show(cal);
    cal->lpVtbl->Release(cal);
    if (hr != S_OK) fprintf(stderr, "c_host: Show gave 0x%08X\n", (unsigned)hr);
    return hr == S_OK ? 0 : 1;
}

static void ClearExcepInfo(EXCEPINFO* e) {
    free(e->bstrSource);
    free(e->bstrDescription);
    free(e->bstrHelpFile);
    memset(e, 0, sizeof *e);
}

static HRESULT PutText(IDispatch* object, DISPID id, const char* text, EXCEPINFO* e) {
    char buffer[256];
    VARIANT arg;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    snprintf(buffer, sizeof buffer, "%s", text);
    memset(&arg, 0, sizeof arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = buffer;
    params.rgvarg = &arg;
    params.rgdispidNamedArgs = &named;
    params.cArgs = 1;
    params.cNamedArgs = 1;
    return object->lpVtbl->Invoke(object, id, &IID_NULL, ZEV_TYPELIB_LCID, DISPATCH_PROPERTYPUT,
                                  &params, NULL, e, NULL);
}

static HRESULT GetValue(IDispatch* object, DISPID id, VARIANT* result, EXCEPINFO* e) {
    DISPPARAMS params = {NULL, NULL, 0, 0};
    return object->lpVtbl->Invoke(object, id, &IID_NULL, ZEV_TYPELIB_LCID, DISPATCH_PROPERTYGET,
                                  &params, result, e, NULL);
}

static HRESULT CallWithDate(IDispatch* object, DISPID id, DATE day, VARIANT* result, EXCEPINFO* e) {
    VARIANT arg;
    DISPPARAMS params;
    memset(&arg, 0, sizeof arg);
    arg.vt = VT_DATE;
    arg.date = day;
    params.rgvarg = &arg;
    params.rgdispidNamedArgs = NULL;
    params.cArgs = 1;
    params.cNamedArgs = 0;
    return object->lpVtbl->Invoke(object, id, &IID_NULL, ZEV_TYPELIB_LCID,
                                  DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result, e, NULL);
}

/* WorkDayBefore through Invoke; checks the call succeeds with a date and returns it. */
static DATE WorkDayBefore(IDispatch* object, DATE day, int line) {
    VARIANT result;
    EXCEPINFO e;
    HRESULT hr;
    memset(&result, 0, sizeof result);
    memset(&e, 0, sizeof e);
    hr = CallWithDate(object, DISPID_clsCal_WorkDayBefore, day, &result, &e);
    if (hr != S_OK || result.vt != VT_DATE) {
        fprintf(stderr, "c_host:%d: WorkDayBefore(%g) gave hr 0x%08X vt %u: %s\n", line, day,
                (unsigned)hr, (unsigned)result.vt,
                e.bstrDescription != NULL ? e.bstrDescription : "");
        ++failures;
        ClearExcepInfo(&e);
        return -1.0;
    }
    return result.date;
}

/* WorkDayBefore through the interface table, without a connection: the HRESULT is the
 * number, and the thread's error object, reached through the object, gives it again with
 * the source and the description, once. */
static void CheckVtableErrorInfo(IDispatch* object) {
    ZevClsCal* cal = NULL;
    IZevSupportErrorInfo* support = NULL;
    IErrorInfo* info = NULL;
    IZevErrorInfo* numbered = NULL;
    BSTR source = NULL;
    BSTR description = NULL;
    HRESULT number = S_OK;
    GUID guid;
    DATE day = 0;
    HRESULT hr;

    hr = object->lpVtbl->QueryInterface(object, &IID_clsCal, (void**)&cal);
    CHECK(hr == S_OK && cal != NULL, "QueryInterface(_clsCal) gave 0x%08X", (unsigned)hr);
    hr = object->lpVtbl->QueryInterface(object, &IID_IZevSupportErrorInfo, (void**)&support);
    CHECK(hr == S_OK && support != NULL, "QueryInterface(IZevSupportErrorInfo) gave 0x%08X",
          (unsigned)hr);
    if (cal == NULL || support == NULL) return;
    CHECK(support->lpVtbl->InterfaceSupportsErrorInfo(support, &IID_clsCal) == S_OK,
          "_clsCal does not support error information");

    hr = cal->lpVtbl->WorkDayBefore(cal, kJune7, &day);
    CHECK(hr == ZEV_RUNTIME_ERROR_HRESULT(91), "vtable WorkDayBefore gave 0x%08X", (unsigned)hr);
    hr = support->lpVtbl->GetErrorInfo(support, 0, &info);
    CHECK(hr == S_OK && info != NULL, "GetErrorInfo gave 0x%08X", (unsigned)hr);
    if (info != NULL) {
        CHECK(info->lpVtbl->GetSource(info, &source) == S_OK && source != NULL && source[0] != '\0',
              "no error source");
        CHECK(info->lpVtbl->GetDescription(info, &description) == S_OK && description != NULL &&
                  description[0] != '\0',
              "no error description");
        CHECK(info->lpVtbl->GetGUID(info, &guid) == S_OK && IsEqualGUID(&guid, &IID_clsCal),
              "the error names another interface");
        hr = info->lpVtbl->QueryInterface(info, &IID_IZevErrorInfo, (void**)&numbered);
        CHECK(hr == S_OK && numbered != NULL, "QueryInterface(IZevErrorInfo) gave 0x%08X",
              (unsigned)hr);
        if (numbered != NULL) {
            CHECK(numbered->lpVtbl->GetNumber(numbered, &number) == S_OK &&
                      number == ZEV_RUNTIME_ERROR_HRESULT(91),
                  "error number 0x%08X", (unsigned)number);
            numbered->lpVtbl->Release(numbered);
        }
        printf("c_host: vtable failure 0x%08X from %s: %s\n", (unsigned)number,
               source != NULL ? source : "", description != NULL ? description : "");
        free(source);
        free(description);
        CHECK(info->lpVtbl->Release(info) == 0, "the error object had other references");
    }
    info = NULL;
    hr = support->lpVtbl->GetErrorInfo(support, 0, &info);
    CHECK(hr == S_FALSE && info == NULL, "the error object was handed out twice");
    support->lpVtbl->Release(support);
    cal->lpVtbl->Release(cal);
}

static void* Symbol(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (symbol == NULL) {
        fprintf(stderr, "c_host: %s is not exported\n", name);
        exit(2);
    }
    return symbol;
}

int main(int argc, char** argv) {
    void* library;
    void* symbol;
    PFN_DllGetClassObject getClassObject;
    PFN_DllCanUnloadNow canUnloadNow;
    IClassFactory* factory = NULL;
    IDispatch* first = NULL;
    IDispatch* second = NULL;
    char name[] = "activeconnection";
    char* names[1];
    DISPID id = DISPID_UNKNOWN;
    VARIANT result;
    EXCEPINFO e;
    HRESULT hr;

    if (argc != 2 && !(argc == 3 && strcmp(argv[2], "show") == 0)) {
        fprintf(stderr, "usage: c_host LIBRARY [show]\n");
        return 2;
    }
    library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "c_host: %s\n", dlerror());
        return 2;
    }
    /* Object and function pointers differ in ISO C; copy the bits, as POSIX allows. */
    symbol = Symbol(library, "DllGetClassObject");
    memcpy(&getClassObject, &symbol, sizeof getClassObject);
    symbol = Symbol(library, "DllCanUnloadNow");
    memcpy(&canUnloadNow, &symbol, sizeof canUnloadNow);
    if (argc == 3) return ShowWindow(getClassObject);
    CheckDateHelpers();

    hr = getClassObject(&CLSID_clsCal, &IID_IClassFactory, (void**)&factory);
    if (hr != S_OK || factory == NULL) {
        fprintf(stderr, "c_host: DllGetClassObject gave 0x%08X\n", (unsigned)hr);
        return 2;
    }
    hr = factory->lpVtbl->CreateInstance(factory, NULL, &IID_IDispatch, (void**)&first);
    CHECK(hr == S_OK && first != NULL, "CreateInstance gave 0x%08X", (unsigned)hr);
    hr = factory->lpVtbl->CreateInstance(factory, NULL, &IID_IDispatch, (void**)&second);
    CHECK(hr == S_OK && second != NULL, "second CreateInstance gave 0x%08X", (unsigned)hr);
    if (first == NULL || second == NULL) return 1;
    CHECK(canUnloadNow() == S_FALSE, "DllCanUnloadNow with live objects");

    names[0] = name;
    hr = first->lpVtbl->GetIDsOfNames(first, &IID_NULL, names, 1, ZEV_TYPELIB_LCID, &id);
    CHECK(hr == S_OK && id == DISPID_clsCal_ActiveConnection,
          "GetIDsOfNames(activeconnection) gave 0x%08X, id 0x%08X", (unsigned)hr, (unsigned)id);

    memset(&e, 0, sizeof e);
    hr = PutText(first, DISPID_clsCal_ActiveConnection, "", &e);
    CHECK(hr == S_OK, "ActiveConnection put gave 0x%08X: %s", (unsigned)hr,
          e.bstrDescription != NULL ? e.bstrDescription : "");
    ClearExcepInfo(&e);

    /* Read before any Show on the thread: false, whatever the database holds. */
    memset(&result, 0, sizeof result);
    hr = GetValue(first, DISPID_clsCal_IsSetWorkCalendar, &result, &e);
    CHECK(hr == S_OK && result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE,
          "IsSetWorkCalendar gave 0x%08X, vt %u, value %d", (unsigned)hr, (unsigned)result.vt,
          (int)result.boolVal);
    ClearExcepInfo(&e);

    CHECK(WorkDayBefore(first, kJune7, __LINE__) == kJune5, "WorkDayBefore(2009-06-07)");
    CHECK(WorkDayBefore(first, kJune5, __LINE__) == kJune5, "WorkDayBefore(2009-06-05)");
    CHECK(WorkDayBefore(first, kMay1 + 0.25, __LINE__) == kMay1 + 0.25,
          "WorkDayBefore(2009-05-01 06:00) before the calendar comes back unchanged");
    /* The connection belongs to the thread: the second object uses it too. */
    CHECK(WorkDayBefore(second, kJune7, __LINE__) == kJune5, "WorkDayBefore on the second object");

    /* Releasing either object takes the shared connection away from the other. */
    CHECK(second->lpVtbl->Release(second) == 0, "the second object had other references");
    memset(&result, 0, sizeof result);
    hr = CallWithDate(first, DISPID_clsCal_WorkDayBefore, kJune7, &result, &e);
    CHECK(hr == DISP_E_EXCEPTION, "WorkDayBefore without a connection gave 0x%08X", (unsigned)hr);
    CHECK(e.scode == ZEV_RUNTIME_ERROR_HRESULT(91), "scode 0x%08X instead of error 91",
          (unsigned)e.scode);
    CHECK(e.bstrSource != NULL && e.bstrSource[0] != '\0', "no error source");
    CHECK(e.bstrDescription != NULL && e.bstrDescription[0] != '\0', "no error description");
    ClearExcepInfo(&e);
    CheckVtableErrorInfo(first);

    hr = PutText(first, DISPID_clsCal_ActiveConnection, "", &e);
    CHECK(hr == S_OK, "second ActiveConnection put gave 0x%08X", (unsigned)hr);
    ClearExcepInfo(&e);
    CHECK(WorkDayBefore(first, kJune7, __LINE__) == kJune5, "WorkDayBefore after reconnecting");

    CHECK(first->lpVtbl->Release(first) == 0, "the first object had other references");
    CHECK(canUnloadNow() == S_FALSE, "DllCanUnloadNow while the class factory lives");
    factory->lpVtbl->Release(factory);
    CHECK(canUnloadNow() == S_OK, "DllCanUnloadNow after every release");
    dlclose(library);
    if (failures == 0) printf("c_host: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
