#pragma once

#include <QString>

namespace veltrane {

// The folder that holds the rule files, known.lst, veltrane.ini, the activity log and body files:
// $VELTRANE_HOME when set, else the per-user app data folder (~/.local/share/Quorvell/Veltrane).
// The folder is created when it does not exist yet.
QString dataFolder();

// A file inside the data folder.
QString dataFile(const QString& name);

} // namespace veltrane
