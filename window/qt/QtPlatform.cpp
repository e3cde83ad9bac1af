// PluginInstalled (QtPlatform.hpp): the platform plugins Qt would find.
#include "window/qt/QtPlatform.hpp"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

namespace zev::window::qt {

bool PluginInstalled(const QByteArray& platform) {
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'));
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        const QString file = folder + QStringLiteral("/platforms/libq") +
                             QString::fromLatin1(platform) + QStringLiteral(".so");
        if (QFileInfo::exists(file)) return true;
    }
    return false;
}

}  // namespace zev::window::qt
