#pragma once
// The maintenance window as the component sees it. The component creates it by ProgID,
// as it creates the suite's objects, so that it never depends on the window's code or on
// a toolkit; the window registers its factory under this ProgID.

#include <string_view>

namespace zev::component {

inline constexpr std::string_view kFrmCalProgId = "ZevWorkCal.frmCal";

class IModalForm {
  public:
    virtual ~IModalForm() = default;
    // Loads the window anew from the component state and shows it modally; returns when
    // it has closed. A failure before it is shown (no display, a failing load) goes to
    // the caller, and the window is not shown.
    virtual void ShowModal() = 0;
};

}  // namespace zev::component
