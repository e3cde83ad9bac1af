#pragma once
// The window's Qt front end as the window's code reaches it: through the Qt module,
// loaded at the first opening (QtModule.hpp).

#include <memory>

#include "window/FrmCalView.hpp"

namespace zev::window {

// A Qt front end. Fails with a clear error when the module cannot be loaded, no display
// is available, or the process's Qt application runs on another thread.
std::unique_ptr<FrmCalView> OpenQtView();

// An entry of the Qt module by name, the module loaded at the first call; fails with a
// clear error when the module or the entry cannot be found.
void* QtModuleSymbol(const char* name);

// Registers "ZevWorkCal.frmCal" with the Qt front end.
void RegisterQtWindow();

}  // namespace zev::window
