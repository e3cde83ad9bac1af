#pragma once
// What the Qt module asks before it makes an application: Qt ends the process when the
// platform it is told to start cannot be loaded.

#include <QByteArray>

namespace zev::window::qt {

// Whether the plugin of a Qt platform ("xcb", "offscreen") is installed. Before there is
// an application, its plugin folders are Qt's own and those named in QT_PLUGIN_PATH.
bool PluginInstalled(const QByteArray& platform);

}  // namespace zev::window::qt
