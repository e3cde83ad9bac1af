// The console interface (ConsoleUi.hpp): message boxes on stderr, Yes/No from a terminal.
#include "platform/ui/ConsoleUi.hpp"

#include <unistd.h>

#include <string>

namespace zev::ui {

int ConsoleUi::MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    const std::lock_guard lock(mutex_);
    // The box's line ends (CR LF) become the console's.
    std::string text;
    text.reserve(prompt.size());
    for (size_t i = 0; i < prompt.size(); ++i) {
        if (prompt[i] == '\r' && i + 1 < prompt.size() && prompt[i + 1] == '\n') continue;
        text += prompt[i];
    }
    std::fprintf(out_, "%s\n%s\n", title.c_str(), text.c_str());
    if ((buttons & 7) != vbYesNo) {
        std::fflush(out_);
        return vbOK;
    }
    if (in_ == nullptr || isatty(fileno(in_)) == 0) {
        std::fflush(out_);
        return vbNo;
    }
    std::fprintf(out_, "[y/N] ");
    std::fflush(out_);
    char line[64];
    if (std::fgets(line, sizeof line, in_) == nullptr) return vbNo;
    return line[0] == 'y' || line[0] == 'Y' ? vbYes : vbNo;
}

}  // namespace zev::ui
