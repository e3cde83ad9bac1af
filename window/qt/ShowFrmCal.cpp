// The entry of the Qt module (libZevWorkCalQt.so) that the window loads at its first
// opening: it checks that a display can be used, makes the process's QApplication when
// there is none, and hands out a front end that shows FrmCalDialog. The module links Qt
// and nothing of the other layers; it sees frmCal through header-only interfaces.

#include <QApplication>
#include <QByteArray>
#include <QThread>

#include <xcb/xcb.h>

#include <memory>

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

bool X11DisplayOpens() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

// Whether Qt could start one of its platforms here. Qt ends the process when it cannot,
// so the window asks first: an X11 display must accept a connection, a Wayland one must
// be named; the platforms that need no display (offscreen, vnc) only need their plugin.
bool DisplayAvailable() {
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    for (const QByteArray& entry : (chosen.isEmpty() ? QByteArray("xcb") : chosen).split(';')) {
        // "name:options"
        const qsizetype colon = entry.indexOf(':');
        const QByteArray platform = (colon < 0 ? entry : entry.left(colon)).trimmed();
        if (platform.isEmpty() || !PluginInstalled(platform)) continue;
        if (platform == "xcb") {
            if (X11DisplayOpens()) return true;
        } else if (platform.startsWith("wayland")) {
            if (!qgetenv("WAYLAND_DISPLAY").isEmpty()) return true;
        } else {
            return true;
        }
    }
    return false;
}

int Open(const MessageBoxTexts& texts, FrmCalView** view) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        if (!DisplayAvailable()) return kQtNoDisplay;
        // Made once and kept for the life of the process, as Qt expects.
        static int argc = 1;
        static char name[] = "zevworkcal";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv);
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
