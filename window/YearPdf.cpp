// WriteYearPdf (YearPdf.hpp): the Qt module's year-planner entry and its answers as
// errors.
#include "window/YearPdf.hpp"

#include "platform/automation/ComError.hpp"
#include "platform/automation/UserFile.hpp"
#include "platform/automation/Utf8.hpp"
#include "window/QtFrontEnd.hpp"
#include "window/QtModule.hpp"

namespace zev::window {

namespace {

constexpr const char* kSource = "zevworkcal";

[[noreturn]] void Fail(std::string description) {
    throw automation::ComError(automation::errors::kUnspecified, kSource, std::move(description));
}

}  // namespace

void WriteYearPdf(const YearSheet& sheet, const std::string& named) {
    // The document replaces a regular file only, and through a link the link's target.
    const std::string file =
        automation::FileToReplace(named, "PDF 文件的位置上不是普通文件，不会替换它");
    const auto entry = reinterpret_cast<YearPdfEntry>(QtModuleSymbol(kYearPdfEntry));
    std::string problem;
    switch (entry(kYearPdfVersion, &sheet, file.c_str(), &problem)) {
        case kPdfWritten:
            return;
        case kPdfNotWritten:
            Fail(automation::MarkedText("无法写出 PDF 文件",
                                        ": " + automation::EscapeControls(file) + ": " + problem));
        case kPdfNoGui:
            Fail(automation::MarkedText("本进程的 Qt 应用程序不能绘制文字，无法写出 PDF 文件"));
        case kPdfOtherThread:
            Fail(automation::MarkedText("PDF 文件只能在运行 Qt 应用程序的线程中写出"));
        case kPdfNoPlatform:
            Fail(automation::MarkedText("缺少 Qt 的 offscreen 平台插件，无法写出 PDF 文件"));
        case kPdfWrongVersion:
            Fail(automation::MarkedText("工厂日历窗口模块的版本不对"));
        default:
            Fail(automation::MarkedText("无法写出 PDF 文件",
                                        ": " + automation::EscapeControls(file)));
    }
}

}  // namespace zev::window
