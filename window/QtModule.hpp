#pragma once
// What the window and its Qt module agree on: the module's file, its entry and the
// entry's answers. The Qt front end lives in a module of its own, loaded at the first
// opening, so that a process that uses only the date service never loads Qt and needs
// no display.

#include <string>

#include "window/FrmCalView.hpp"
#include "window/YearSheet.hpp"

namespace zev::window {

// <library folder>/zevworkcal/libZevWorkCalQt.so: a private folder, since the module is no
// library that programs link.
inline constexpr const char* kQtModuleFolder = "zevworkcal";
inline constexpr const char* kQtModuleFile = "libZevWorkCalQt.so";
inline constexpr const char* kQtModuleEntry = "ZevWorkCalQtOpen";
// Moves on whenever FrmCalView, FrmCalEvents, MessageBoxTexts or the control records
// change.
inline constexpr int kQtModuleVersion = 4;

// What the module's entry answers.
enum QtOpenResult : int {
    kQtOpened = 0,
    kQtNoDisplay = 1,    // no display that Qt could use
    kQtOtherThread = 2,  // the process's Qt application runs on another thread
    kQtNoWidgets = 3,    // the process runs a Qt application without widgets
    kQtWrongVersion = 4,
    kQtFailed = 5,  // anything else
};

// The module's entry: a front end for one opening in *view when it answers kQtOpened.
// Makes the process's QApplication when there is none.
using QtModuleEntry = int (*)(int version, const MessageBoxTexts* texts, FrmCalView** view);

// The module's second entry writes a year sheet as a one-page PDF, with or without a
// display: without a Qt application it makes one on the offscreen platform for the page.
inline constexpr const char* kYearPdfEntry = "ZevWorkCalQtYearPdf";
// Moves on whenever YearSheet changes.
inline constexpr int kYearPdfVersion = 1;

enum YearPdfResult : int {
    kPdfWritten = 0,
    kPdfNotWritten = 1,  // the file could not be written; *problem says why
    kPdfNoGui = 2,       // the process runs a Qt application without a GUI
    kPdfOtherThread = 3,
    kPdfNoPlatform = 4,  // no Qt platform to draw text on (the offscreen plugin is missing)
    kPdfWrongVersion = 5,
    kPdfFailed = 6,
};

using YearPdfEntry = int (*)(int version, const YearSheet* sheet, const char* file,
                             std::string* problem);

}  // namespace zev::window
