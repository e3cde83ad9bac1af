// The Qt module's entry for year planners (QtModule.hpp's kYearPdfEntry): it makes a GUI
// application on the offscreen platform for the page when the process has none, so that
// a PDF is written with or without a display, and hands the sheet to WriteYearPdf.

#include <QByteArray>
#include <QGuiApplication>
#include <QThread>
#include <QtGlobal>

#include <cstdio>
#include <memory>

#include "window/QtModule.hpp"
#include "window/qt/QtPlatform.hpp"
#include "window/qt/YearPdfWriter.hpp"

namespace zev::window::qt {
namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's notes and warnings about the environment (no XDG_RUNTIME_DIR on a server) say
// nothing about the page; its failures come back as results. Critical messages pass on.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    if (previousHandler != nullptr) {
        previousHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
}

// Keeps QuietHandler installed for its lifetime.
class QuietQt {
  public:
    QuietQt() { previousHandler = qInstallMessageHandler(QuietHandler); }
    ~QuietQt() { qInstallMessageHandler(previousHandler); }
    QuietQt(const QuietQt&) = delete;
    QuietQt& operator=(const QuietQt&) = delete;
};

int WritePdf(const YearSheet& sheet, const char* file, std::string* problem) {
    const QuietQt quiet;
    // An application made here lives for this page only: made and ended in turn, it
    // leaves nothing of Qt's behind (its fonts among them) in a process that wanted a
    // file, not a GUI.
    std::unique_ptr<QGuiApplication> made;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        if (!PluginInstalled("offscreen")) return kPdfNoPlatform;
        // Text needs a GUI application; the page needs no display.
        static int argc = 3;
        static char name[] = "zevworkcal";
        static char option[] = "-platform";
        static char platform[] = "offscreen";
        static char* argv[] = {name, option, platform, nullptr};
        made = std::make_unique<QGuiApplication>(argc, argv);
        application = made.get();
    }
    if (qobject_cast<QGuiApplication*>(application) == nullptr) return kPdfNoGui;
    if (application->thread() != QThread::currentThread()) return kPdfOtherThread;
    QString why;
    if (WriteYearPdf(sheet, QString::fromUtf8(file), &why)) return kPdfWritten;
    *problem = why.toStdString();
    return kPdfNotWritten;
}

}  // namespace
}  // namespace zev::window::qt

extern "C" __attribute__((visibility("default"))) int ZevWorkCalQtYearPdf(
    int version, const zev::window::YearSheet* sheet, const char* file, std::string* problem) {
    if (version != zev::window::kYearPdfVersion) return zev::window::kPdfWrongVersion;
    try {
        return zev::window::qt::WritePdf(*sheet, file, problem);
    } catch (...) {
        return zev::window::kPdfFailed;
    }
}
