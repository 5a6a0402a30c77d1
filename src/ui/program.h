#pragma once

class QApplication;

namespace veltrane {

// Puts the files a first start needs into the data folder (an empty blacklist and the like);
// files that are there already are left alone.
void seedDataFolder();

// The desktop program from its start to its end: the single-instance guard, the splash window,
// the windows in their order, the message loop. Returns the exit code.
int runVeltrane(QApplication& app);

} // namespace veltrane
