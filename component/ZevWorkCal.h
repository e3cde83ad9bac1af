/*
 * The binary surface of the ZevWorkCal component library for C and C++ hosts: the type
 * library's identity, the class clsCal, its dual interface _clsCal (member DISPIDs and
 * vtable) and the enumeration Enu_Direction.
 *
 * The GUIDs below were chosen once; hosts bind to them, so they never change.
 */
#ifndef ZEV_COMPONENT_ZEVWORKCAL_H
#define ZEV_COMPONENT_ZEVWORKCAL_H

#include "platform/automation/ComAbi.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZEV_TYPELIB_NAME "ZevWorkCal"
#define ZEV_TYPELIB_HELPSTRING "Zev Work Calendar Components"
#define ZEV_TYPELIB_VERSION_MAJOR 1
#define ZEV_TYPELIB_VERSION_MINOR 0
#define ZEV_TYPELIB_LCID 0x409

#define ZEV_PROGID_clsCal "ZevWorkCal.clsCal"
#define ZEV_THREADING_MODEL "Apartment"

/* Members of _clsCal. */
#define DISPID_clsCal_ActiveConnection ((DISPID)0x68030002)  /* property put, text */
#define DISPID_clsCal_SystemName ((DISPID)0x68030001)        /* property put, text */
#define DISPID_clsCal_Show ((DISPID)0x60030003)              /* method */
#define DISPID_clsCal_IsSetWorkCalendar ((DISPID)0x68030000) /* property get, VARIANT_BOOL */
#define DISPID_clsCal_WorkDayBefore ((DISPID)0x60030004)     /* (DATE dtDay) -> DATE */
#define DISPID_clsCal_WorkDayAfter ((DISPID)0x60030005)      /* (DATE dtDay) -> DATE */
/* (DATE dtDay, Enu_Direction Direction, LONG Interval) -> DATE */
#define DISPID_clsCal_WorkDay ((DISPID)0x60030006)

/* Enu_Direction, a 32-bit value: only zero and non-zero are told apart; non-zero steps
 * forward. C++ code has it as zev::component::Enu_Direction. */
#ifndef __cplusplus
typedef enum Enu_Direction { Dir_Backward = 0, Dir_Forward = 1 } Enu_Direction;
#endif

/* _clsCal: IDispatch's slots, then the members in this order. Each returns S_OK or the
 * HRESULT of its failure (0x800A0000 | n for run-time error n). A failure's source and
 * description come with EXCEPINFO through Invoke, and through either path as the
 * thread's error information (ComAbi.h): the object answers IZevSupportErrorInfo. */
typedef struct ZevClsCal ZevClsCal;
/* clang-format off */
typedef struct ZevClsCalVtbl {
    HRESULT (*QueryInterface)(ZevClsCal* This, REFIID riid, void** ppvObject);
    ULONG (*AddRef)(ZevClsCal* This);
    ULONG (*Release)(ZevClsCal* This);
    HRESULT (*GetTypeInfoCount)(ZevClsCal* This, UINT* pctinfo);
    HRESULT (*GetTypeInfo)(ZevClsCal* This, UINT iTInfo, LCID lcid, void** ppTInfo);
    HRESULT (*GetIDsOfNames)(ZevClsCal* This, REFIID riid, char** rgszNames, UINT cNames,
                             LCID lcid, DISPID* rgDispId);
    HRESULT (*Invoke)(ZevClsCal* This, DISPID dispIdMember, REFIID riid, LCID lcid,
                      WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                      EXCEPINFO* pExcepInfo, UINT* puArgErr);
    HRESULT (*put_ActiveConnection)(ZevClsCal* This, BSTR text);
    HRESULT (*put_SystemName)(ZevClsCal* This, BSTR text);
    HRESULT (*Show)(ZevClsCal* This);
    HRESULT (*get_IsSetWorkCalendar)(ZevClsCal* This, VARIANT_BOOL* result);
    HRESULT (*WorkDayBefore)(ZevClsCal* This, DATE dtDay, DATE* result);
    HRESULT (*WorkDayAfter)(ZevClsCal* This, DATE dtDay, DATE* result);
    HRESULT (*WorkDay)(ZevClsCal* This, DATE dtDay, int32_t Direction, LONG Interval,
                       DATE* result);
} ZevClsCalVtbl;
/* clang-format on */

struct ZevClsCal {
    const ZevClsCalVtbl* lpVtbl;
};

#ifdef __cplusplus
}
#endif

/* The type library ZevWorkCal 1.0. */
ZEV_ABI_GUID(LIBID_ZevWorkCal,
             {0x70579963u, 0xB53Eu, 0x4FB3u, {0xB6, 0x34, 0xFF, 0x1B, 0x20, 0xDC, 0x32, 0x33}})
/* The class clsCal. */
ZEV_ABI_GUID(CLSID_clsCal,
             {0xC332ACDBu, 0x200Bu, 0x42DDu, {0xAF, 0x4E, 0x01, 0x4C, 0x5E, 0xA6, 0xF0, 0x5C}})
/* The dual interface _clsCal. */
ZEV_ABI_GUID(IID_clsCal,
             {0x9269D9D2u, 0x731Eu, 0x47EEu, {0x85, 0x39, 0xD9, 0xA3, 0xD4, 0xB7, 0x1E, 0xEF}})
/* The enumeration Enu_Direction. */
ZEV_ABI_GUID(GUID_Enu_Direction,
             {0x9769705Du, 0x1806u, 0x4369u, {0xB4, 0xE2, 0xB7, 0x4E, 0x4B, 0xB0, 0x3C, 0xCA}})

#endif /* ZEV_COMPONENT_ZEVWORKCAL_H */
