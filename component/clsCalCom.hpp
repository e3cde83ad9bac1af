#pragma once
// clsCal as an automation object of the component library: IDispatch with the dual
// interface _clsCal (zevworkcal/zevworkcal.h), created through the library's class
// factory. Failures reach the caller as HRESULTs; through Invoke also as EXCEPINFO whose
// description is the text users read.

#include "zevworkcal/zevworkcal.h"

namespace zev::component {

// A new clsCal object with one reference, as IDispatch.
IDispatch* CreateClsCalObject();

// Puts clsCal into the library's class table (CLSID, ProgID, threading model) and its
// ProgID into the object registry of the process.
void RegisterClsCalClass();

}  // namespace zev::component
