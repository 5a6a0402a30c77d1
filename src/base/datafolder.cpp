#include "base/datafolder.h"

#include <QDir>
#include <QStandardPaths>

namespace veltrane {

QString dataFolder() {
    QString folder = qEnvironmentVariable("VELTRANE_HOME");
    if (folder.isEmpty()) {
        // Not through QStandardPaths::AppDataLocation: the headless checker and the tests have no
        // application name set, and every program of ours must land in the same folder.
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Quorvell/Veltrane";
    }
    QDir().mkpath(folder);
    return QDir::cleanPath(folder);
}

QString dataFile(const QString& name) {
    return dataFolder() + "/" + name;
}

} // namespace veltrane
