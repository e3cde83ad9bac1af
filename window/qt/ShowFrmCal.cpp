// The entry of the Qt module (libZevWorkCalQt.so) that the window loads at its first
// opening: it checks that a display can be used, makes the process's QApplication when
// there is none, and hands out a front end that shows FrmCalDialog. The module links Qt
// and nothing of the other layers; it sees frmCal through header-only interfaces.

#include <QApplication>
#include <QByteArray>
#include <QThread>

#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <memory>
#include <string>

#include "window/QtModule.hpp"
#include "window/qt/FrmCalDialog.hpp"
#include "window/qt/QtPlatform.hpp"
#include "window/qt/QtUserInterface.hpp"

namespace zev::window::qt {
namespace {

class DialogView final : public FrmCalView {
  public:
    explicit DialogView(MessageBoxTexts texts)
        : interface_(std::make_shared<QtUserInterface>(std::move(texts))) {}

    std::shared_ptr<ui::UserInterface> Interface() override { return interface_; }

    void RunModal(const FrmCalControls& controls, FrmCalEvents& events) override {
        FrmCalDialog dialog(controls, events);
        // Pending events during a long operation show the state it has reached.
        interface_->SetBeforeEvents([&dialog] { dialog.Render(); });
        dialog.Render();
        dialog.exec();
        interface_->SetBeforeEvents({});
        interface_->SetMousePointer(ui::vbDefault);
    }

  private:
    std::shared_ptr<QtUserInterface> interface_;
};

// A connection to the X11 display Qt would connect to (DISPLAY), or nullptr. A server
// started without -noreset resets when its last client leaves, and a connection made
// meanwhile is dropped: a program that starts beside another one that probes and leaves
// meets that moment, so the connection is tried again a few times.
xcb_connection_t* ConnectX11() {
    constexpr int kAttempts = 10;
    for (int attempt = 1;; ++attempt) {
        int screen = 0;
        xcb_connection_t* connection = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(connection) == 0) return connection;
        xcb_disconnect(connection);
        if (attempt == kAttempts) return nullptr;
        QThread::msleep(50);
    }
}

// What Qt would start on: none when there is no platform it could use. For X11, the
// connection that proved the display, to be kept until Qt has connected: while it is open
// the server cannot reset under Qt's own connection.
struct Platform {
    bool available = false;
    xcb_connection_t* display = nullptr;
};

// Whether Qt could start one of its platforms here. Qt ends the process when it cannot,
// so the window asks first: an X11 display must accept a connection, a Wayland one must
// be named; the platforms that need no display (offscreen, vnc) only need their plugin.
Platform AvailablePlatform() {
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    for (const QByteArray& entry : (chosen.isEmpty() ? QByteArray("xcb") : chosen).split(';')) {
        // "name:options"
        const qsizetype colon = entry.indexOf(':');
        const QByteArray platform = (colon < 0 ? entry : entry.left(colon)).trimmed();
        if (platform.isEmpty() || !PluginInstalled(platform)) continue;
        if (platform == "xcb") {
            if (xcb_connection_t* display = ConnectX11()) return {true, display};
        } else if (platform.startsWith("wayland")) {
            if (!qgetenv("WAYLAND_DISPLAY").isEmpty()) return {true, nullptr};
        } else {
            return {true, nullptr};
        }
    }
    return {};
}

// The report of a display Qt could not start on after all, written instead of the end
// Qt would make of the process (an abort): the process ends with 1, as for no display.
std::string fatalReport;  // NOLINT: read by the message handler, which takes no context

void EndWithoutDisplay(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    std::fprintf(stderr, "%s\n%s\n", message.toLocal8Bit().constData(), fatalReport.c_str());
    std::fflush(nullptr);
    ::_exit(1);
}

int Open(const MessageBoxTexts& texts, FrmCalView** view) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        const Platform platform = AvailablePlatform();
        if (!platform.available) return kQtNoDisplay;
        // Made once and kept for the life of the process, as Qt expects.
        static int argc = 1;
        static char name[] = "zevworkcal";
        static char* argv[] = {name, nullptr};
        fatalReport = texts.NoDisplay;
        const QtMessageHandler previous = qInstallMessageHandler(EndWithoutDisplay);
        auto* made = new QApplication(argc, argv);
        qInstallMessageHandler(previous);
        if (platform.display != nullptr) xcb_disconnect(platform.display);
        made->setQuitOnLastWindowClosed(false);
        application = made;
    }
    if (qobject_cast<QApplication*>(application) == nullptr) return kQtNoWidgets;
    if (application->thread() != QThread::currentThread()) return kQtOtherThread;
    *view = new DialogView(texts);
    return kQtOpened;
}

}  // namespace
}  // namespace zev::window::qt

extern "C" __attribute__((visibility("default"))) int ZevWorkCalQtOpen(
    int version, const zev::window::MessageBoxTexts* texts, zev::window::FrmCalView** view) {
    if (version != zev::window::kQtModuleVersion) return zev::window::kQtWrongVersion;
    try {
        return zev::window::qt::Open(*texts, view);
    } catch (...) {
        return zev::window::kQtFailed;
    }
}
