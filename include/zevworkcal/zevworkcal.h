/*
 * The binary surface of the ZevWorkCal component library for C and C++ hosts: the type
 * library's identity, the class clsCal, its dual interface _clsCal (member DISPIDs and
 * vtable), the enumeration Enu_Direction, and conversions between OLE dates and civil
 * dates or time_t.
 *
 * A host loads libZevWorkCal.so.1, creates clsCal through DllGetClassObject and sets
 * ActiveConnection before any other member: that makes the thread's connection to the
 * database the process property string names (ZEVWORKCAL_PROPS); a date member called
 * before fails with run-time error 91.
 *
 * The GUIDs below were chosen once; hosts bind to them, so they never change.
 */
#ifndef ZEVWORKCAL_ZEVWORKCAL_H
#define ZEVWORKCAL_ZEVWORKCAL_H

#include <time.h>

#include "automation.h"

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
 * thread's error information (automation.h): the object answers IZevSupportErrorInfo. */
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

/* OLE dates count days since 1899-12-30: the whole part is the day (negative before the
 * epoch), the fraction the time of day, read as its absolute value (-1.25 is 1899-12-29
 * 06:00). The helpers below convert whole days between 0100-01-01 and 9999-12-31, the
 * days the component accepts; each returns 1, or 0 (leaving its output alone) for a day
 * outside that range or fields that form no date. */
#define ZEV_OLE_DATE_MIN (-657434.0)  /* 0100-01-01 */
#define ZEV_OLE_DATE_MAX 2958465.0    /* 9999-12-31 */
#define ZEV_OLE_DATE_UNIX_EPOCH 25569 /* 1970-01-01 */

/* Days from 1970-01-01 to a proleptic Gregorian date, and back (private helpers). */
static inline long ZevDaysFromCivil_(long y, unsigned m, unsigned d) {
    const long yy = y - (m <= 2 ? 1 : 0);
    const long era = (yy >= 0 ? yy : yy - 399) / 400;
    const unsigned yoe = (unsigned)(yy - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long)doe - 719468;
}
static inline void ZevCivilFromDays_(long z, int* year, int* month, int* day) {
    const long zz = z + 719468;
    const long era = (zz >= 0 ? zz : zz - 146096) / 146097;
    const unsigned doe = (unsigned)(zz - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    *year = (int)((long)yoe + era * 400 + (m <= 2 ? 1 : 0));
    *month = (int)m;
    *day = (int)(doy - (153 * mp + 2) / 5 + 1);
}

/* The OLE date (midnight) of year-month-day. */
static inline int ZevOleDateFromCivil(int year, int month, int day, DATE* date) {
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int leap;
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return 0;
    leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] || (month == 2 && day == 29 && !leap)) return 0;
    *date =
        (DATE)(ZevDaysFromCivil_(year, (unsigned)month, (unsigned)day) + ZEV_OLE_DATE_UNIX_EPOCH);
    return 1;
}

/* The year, month and day of an OLE date's day; its time of day is left out. */
static inline int ZevOleDateToCivil(DATE date, int* year, int* month, int* day) {
    long serial;
    if (!(date > ZEV_OLE_DATE_MIN - 1.0 && date < ZEV_OLE_DATE_MAX + 1.0)) return 0;
    serial = (long)date; /* toward zero: the day of -0.5 is 1899-12-30 */
    ZevCivilFromDays_(serial - ZEV_OLE_DATE_UNIX_EPOCH, year, month, day);
    return 1;
}

/* The OLE date (midnight) of the day in UTC on which the moment t falls. */
static inline int ZevOleDateFromTime(time_t t, DATE* date) {
    const long long seconds = (long long)t;
    const long long days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    const long long serial = days + ZEV_OLE_DATE_UNIX_EPOCH;
    if (serial < (long long)ZEV_OLE_DATE_MIN || serial > (long long)ZEV_OLE_DATE_MAX) return 0;
    *date = (DATE)serial;
    return 1;
}

/* The moment midnight UTC begins an OLE date's day; its time of day is left out. 0 also
 * where time_t cannot hold the moment (a 32-bit time_t ends in 2038). */
static inline int ZevOleDateToTime(DATE date, time_t* t) {
    long long seconds;
    if (!(date > ZEV_OLE_DATE_MIN - 1.0 && date < ZEV_OLE_DATE_MAX + 1.0)) return 0;
    seconds = ((long long)date - ZEV_OLE_DATE_UNIX_EPOCH) * 86400;
    if ((long long)(time_t)seconds != seconds) return 0;
    *t = (time_t)seconds;
    return 1;
}

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

#endif /* ZEVWORKCAL_ZEVWORKCAL_H */
