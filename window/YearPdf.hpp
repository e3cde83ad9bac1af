#pragma once
// A year sheet as a one-page PDF year planner, written by the Qt module (loaded at the
// first use, as the window loads it), so that nothing else of ours links Qt.

#include <string>

#include "window/YearSheet.hpp"

namespace zev::window {

// Writes `sheet` to `file`, replacing it only once the whole document is written; needs
// no display. A symbolic link's target is replaced, in the target's folder. Fails with a
// clear error when the module cannot be loaded, when what `file` names is no regular file
// (a device, a FIFO, a folder), or when the file cannot be written.
void WriteYearPdf(const YearSheet& sheet, const std::string& file);

}  // namespace zev::window
