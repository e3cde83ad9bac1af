/*
 * The binary automation interface of the component library, as plain C declarations that
 * C and C++ hosts both compile (C11 or later for the anonymous union in VARIANT).
 *
 * Objects are pointers to a struct whose first member points to a table of functions
 * (the vtable); the first argument of every function is the object itself. Functions
 * return an HRESULT: negative for failure.
 *
 * Text is UTF-8, NUL-terminated, as `char*` (BSTR here). Ownership:
 *  - text the caller passes in (VARIANT arguments, names for GetIDsOfNames) stays the
 *    caller's; the library neither keeps nor frees it. A NULL BSTR reads as "".
 *  - text the library hands out (bstrSource, bstrDescription and bstrHelpFile of an
 *    EXCEPINFO, a VT_BSTR result) is allocated with malloc; the caller frees it with
 *    free(). A VT_DISPATCH result carries a reference the caller releases.
 *  - Invoke writes its result over *pVarResult without freeing what it held.
 */
#ifndef ZEVWORKCAL_AUTOMATION_H
#define ZEVWORKCAL_AUTOMATION_H

#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef int32_t LONG;
typedef int16_t SHORT;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint32_t LCID;
typedef int32_t DISPID;
typedef unsigned int UINT;
typedef int BOOL;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef double DATE;
typedef char* BSTR;

typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID* REFGUID;
typedef const IID* REFIID;
typedef const CLSID* REFCLSID;

static inline int IsEqualGUID(REFGUID a, REFGUID b) {
    return memcmp(a, b, sizeof(GUID)) == 0;
}

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_ABORT ((HRESULT)0x80004004u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFu)
#define E_ACCESSDENIED ((HRESULT)0x80070005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111u)
#define SELFREG_E_TYPELIB ((HRESULT)0x80040200u)
#define SELFREG_E_CLASS ((HRESULT)0x80040201u)
#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001u)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003u)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004u)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005u)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006u)
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007u)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008u)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009u)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000Au)
#define DISP_E_BADINDEX ((HRESULT)0x8002000Bu)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000Eu)
#define DISP_E_PARAMNOTOPTIONAL ((HRESULT)0x8002000Fu)

/* The facility of run-time error numbers: a failure numbered n below 65536 travels as
 * the HRESULT 0x800A0000 | n. */
#define ZEV_RUNTIME_ERROR_HRESULT(n) ((HRESULT)(0x800A0000u | ((uint32_t)(n)&0xFFFFu)))

#define DISPID_UNKNOWN ((DISPID)-1)
#define DISPID_VALUE ((DISPID)0)
#define DISPID_PROPERTYPUT ((DISPID)-3)

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

/* Invoke reads arguments of these types, by value or with VT_BYREF (VT_VARIANT only by
 * reference, and not to another reference), except VT_UNKNOWN. A VT_ERROR argument with
 * scode DISP_E_PARAMNOTFOUND stands for a missing one. */
enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    /* Combined with a type: the union holds a pointer to a value of that type. */
    VT_BYREF = 0x4000
};

typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
typedef struct IClassFactory IClassFactory;
typedef struct tagVARIANT VARIANT;

struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;              /* VT_I4 */
        SHORT iVal;             /* VT_I2 */
        double dblVal;          /* VT_R8 */
        DATE date;              /* VT_DATE */
        BSTR bstrVal;           /* VT_BSTR */
        IDispatch* pdispVal;    /* VT_DISPATCH */
        IUnknown* punkVal;      /* VT_UNKNOWN */
        SCODE scode;            /* VT_ERROR */
        VARIANT_BOOL boolVal;   /* VT_BOOL */
        LONG* plVal;            /* VT_BYREF | VT_I4 */
        SHORT* piVal;           /* VT_BYREF | VT_I2 */
        double* pdblVal;        /* VT_BYREF | VT_R8 */
        DATE* pdate;            /* VT_BYREF | VT_DATE */
        BSTR* pbstrVal;         /* VT_BYREF | VT_BSTR */
        IDispatch** ppdispVal;  /* VT_BYREF | VT_DISPATCH */
        SCODE* pscode;          /* VT_BYREF | VT_ERROR */
        VARIANT_BOOL* pboolVal; /* VT_BYREF | VT_BOOL */
        VARIANT* pvarVal;       /* VT_BYREF | VT_VARIANT */
        void* byref;
    };
};

/* Arguments of Invoke: rgvarg holds them last to first, as automation passes them; the
 * first cNamedArgs entries are the named ones, whose DISPIDs rgdispidNamedArgs gives. A
 * property put passes its value as rgvarg[0], named DISPID_PROPERTYPUT. */
typedef struct DISPPARAMS {
    VARIANT* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

/* What a failing member reports through Invoke (which then returns DISP_E_EXCEPTION). */
typedef struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;      /* malloc'ed, freed by the caller */
    BSTR bstrDescription; /* malloc'ed, freed by the caller; shown to users as it stands */
    BSTR bstrHelpFile;    /* malloc'ed, freed by the caller; NULL when there is none */
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT (*pfnDeferredFillIn)(struct EXCEPINFO*);
    SCODE scode;
} EXCEPINFO;

/* clang-format off */
typedef struct IUnknownVtbl {
    HRESULT (*QueryInterface)(IUnknown* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(IUnknown* This);
    ULONG (*Release)(IUnknown* This);
} IUnknownVtbl;

struct IUnknown {
    const IUnknownVtbl* lpVtbl;
};

/* Type information is not provided: GetTypeInfoCount answers 0. */
typedef struct IDispatchVtbl {
    HRESULT (*QueryInterface)(IDispatch* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(IDispatch* This);
    ULONG (*Release)(IDispatch* This);
    HRESULT (*GetTypeInfoCount)(IDispatch* This, UINT* pctinfo);
    HRESULT (*GetTypeInfo)(IDispatch* This, UINT iTInfo, LCID lcid, void** ppTInfo);
    HRESULT (*GetIDsOfNames)(IDispatch* This, REFIID riid, char** rgszNames, UINT cNames,
                             LCID lcid, DISPID* rgDispId);
    HRESULT (*Invoke)(IDispatch* This, DISPID dispIdMember, REFIID riid, LCID lcid,
                      WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                      EXCEPINFO* pExcepInfo, UINT* puArgErr);
} IDispatchVtbl;

struct IDispatch {
    const IDispatchVtbl* lpVtbl;
};

typedef struct IClassFactoryVtbl {
    HRESULT (*QueryInterface)(IClassFactory* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(IClassFactory* This);
    ULONG (*Release)(IClassFactory* This);
    HRESULT (*CreateInstance)(IClassFactory* This, IUnknown* pUnkOuter, REFIID riid,
                              void** ppvObject);
    HRESULT (*LockServer)(IClassFactory* This, BOOL fLock);
} IClassFactoryVtbl;
/* clang-format on */

struct IClassFactory {
    const IClassFactoryVtbl* lpVtbl;
};

/* Error information: the last failure of a call through a binary interface, per thread.
 * A member that fails records its error object for the calling thread; a member call
 * that succeeds or fails without one clears it. The library exports no GetErrorInfo, so
 * the object is reached through the object that failed: QueryInterface it for
 * IZevSupportErrorInfo (or for ISupportErrorInfo, which begins the same way). */
typedef struct IErrorInfo IErrorInfo;
typedef struct ISupportErrorInfo ISupportErrorInfo;
typedef struct IZevSupportErrorInfo IZevSupportErrorInfo;
typedef struct IZevErrorInfo IZevErrorInfo;

/* clang-format off */
/* Texts are malloc'ed; the caller frees them with free(). */
typedef struct IErrorInfoVtbl {
    HRESULT (*QueryInterface)(IErrorInfo* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(IErrorInfo* This);
    ULONG (*Release)(IErrorInfo* This);
    HRESULT (*GetGUID)(IErrorInfo* This, GUID* pGUID);  /* the interface that failed */
    HRESULT (*GetSource)(IErrorInfo* This, BSTR* pBstrSource);
    HRESULT (*GetDescription)(IErrorInfo* This, BSTR* pBstrDescription); /* as users read it */
    HRESULT (*GetHelpFile)(IErrorInfo* This, BSTR* pBstrHelpFile); /* NULL when none */
    HRESULT (*GetHelpContext)(IErrorInfo* This, DWORD* pdwHelpContext);
} IErrorInfoVtbl;

/* IErrorInfo with the failure's number: the HRESULT the member returned. */
typedef struct IZevErrorInfoVtbl {
    HRESULT (*QueryInterface)(IZevErrorInfo* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(IZevErrorInfo* This);
    ULONG (*Release)(IZevErrorInfo* This);
    HRESULT (*GetGUID)(IZevErrorInfo* This, GUID* pGUID);
    HRESULT (*GetSource)(IZevErrorInfo* This, BSTR* pBstrSource);
    HRESULT (*GetDescription)(IZevErrorInfo* This, BSTR* pBstrDescription);
    HRESULT (*GetHelpFile)(IZevErrorInfo* This, BSTR* pBstrHelpFile);
    HRESULT (*GetHelpContext)(IZevErrorInfo* This, DWORD* pdwHelpContext);
    HRESULT (*GetNumber)(IZevErrorInfo* This, HRESULT* pNumber);
} IZevErrorInfoVtbl;

typedef struct ISupportErrorInfoVtbl {
    HRESULT (*QueryInterface)(ISupportErrorInfo* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(ISupportErrorInfo* This);
    ULONG (*Release)(ISupportErrorInfo* This);
    /* S_OK when failures of that interface record error information, S_FALSE if not. */
    HRESULT (*InterfaceSupportsErrorInfo)(ISupportErrorInfo* This, REFIID riid);
} ISupportErrorInfoVtbl;

/* ISupportErrorInfo, and the thread's error object as a GetErrorInfo would give it. */
typedef struct IZevSupportErrorInfoVtbl {
    HRESULT (*QueryInterface)(IZevSupportErrorInfo* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(IZevSupportErrorInfo* This);
    ULONG (*Release)(IZevSupportErrorInfo* This);
    HRESULT (*InterfaceSupportsErrorInfo)(IZevSupportErrorInfo* This, REFIID riid);
    /* Hands the calling thread's error object to the caller, who releases it, and clears
     * it: S_OK, or S_FALSE with NULL when there is none. dwReserved must be 0. */
    HRESULT (*GetErrorInfo)(IZevSupportErrorInfo* This, DWORD dwReserved,
                            IErrorInfo** ppErrorInfo);
} IZevSupportErrorInfoVtbl;
/* clang-format on */

struct IErrorInfo {
    const IErrorInfoVtbl* lpVtbl;
};
struct IZevErrorInfo {
    const IZevErrorInfoVtbl* lpVtbl;
};
struct ISupportErrorInfo {
    const ISupportErrorInfoVtbl* lpVtbl;
};
struct IZevSupportErrorInfo {
    const IZevSupportErrorInfoVtbl* lpVtbl;
};

/* The exports of an in-process server library. */
#if defined(__GNUC__)
#define ZEV_ABI_EXPORT __attribute__((visibility("default")))
#else
#define ZEV_ABI_EXPORT
#endif

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
/* S_OK when no object of the library and no server lock is alive, S_FALSE otherwise. */
HRESULT DllCanUnloadNow(void);
HRESULT DllRegisterServer(void);
HRESULT DllUnregisterServer(void);

typedef HRESULT (*PFN_DllGetClassObject)(REFCLSID rclsid, REFIID riid, void** ppv);
typedef HRESULT (*PFN_DllCanUnloadNow)(void);
typedef HRESULT (*PFN_DllRegisterServer)(void);
typedef HRESULT (*PFN_DllUnregisterServer)(void);

#ifdef __cplusplus
}
#endif

/* GUID constants: one definition per C++ program, one unused-tolerant copy per C file. */
#ifdef __cplusplus
#define ZEV_ABI_GUID(name, ...) inline constexpr GUID name = __VA_ARGS__;
#elif defined(__GNUC__)
#define ZEV_ABI_GUID(name, ...) static const GUID name __attribute__((unused)) = __VA_ARGS__;
#else
#define ZEV_ABI_GUID(name, ...) static const GUID name = __VA_ARGS__;
#endif

ZEV_ABI_GUID(IID_NULL, {0x00000000u, 0x0000u, 0x0000u, {0, 0, 0, 0, 0, 0, 0, 0}})
ZEV_ABI_GUID(IID_IUnknown,
             {0x00000000u, 0x0000u, 0x0000u, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}})
ZEV_ABI_GUID(IID_IClassFactory,
             {0x00000001u, 0x0000u, 0x0000u, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}})
ZEV_ABI_GUID(IID_IDispatch,
             {0x00020400u, 0x0000u, 0x0000u, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}})
ZEV_ABI_GUID(IID_IErrorInfo,
             {0x1CF2B120u, 0x547Du, 0x101Bu, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}})
ZEV_ABI_GUID(IID_ISupportErrorInfo,
             {0xDF0B3D60u, 0x548Fu, 0x101Bu, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}})
ZEV_ABI_GUID(IID_IZevSupportErrorInfo,
             {0xC6FA998Bu, 0x68F9u, 0x4FCBu, {0x86, 0xDB, 0xB2, 0xE8, 0xCC, 0xE9, 0x73, 0x92}})
ZEV_ABI_GUID(IID_IZevErrorInfo,
             {0xBCD5C2A6u, 0x78FFu, 0x426Au, {0x94, 0x33, 0xA4, 0xBF, 0x39, 0x80, 0x8C, 0x83}})

#endif /* ZEVWORKCAL_AUTOMATION_H */
