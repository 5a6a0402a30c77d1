#pragma once

#include <QStringList>
#include <iosfwd>

namespace veltrane {

// veltrane-check: the same check as the desktop program, from a terminal or cron, with the user's
// data folder, settings, rules and activity log. Prints one tab-separated line per message
// (number, mark, size, sender, subject, date) and then the status text.
// Returns the exit status: 0 done, 1 the check failed (message on `err`), 2 wrong arguments.
int runHeadlessCheck(const QStringList& arguments, std::ostream& out, std::ostream& err);

} // namespace veltrane
