#pragma once

#include "base/status.h"
#include "settings/settingskeys.h"

#include <QDate>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

class SettingsStore;

// How the activity log's name changes with the calendar.
enum class LogNaming { AsIs, Month, Quarter };

// The live copy of the general settings, one for the whole run; every part of the program reads
// its fields at the moment it needs them.
struct GeneralSettings {
    QString logFile; // the activity log; blank switches logging off
    LogNaming logNaming = LogNaming::AsIs;
    QString alarmFile;                         // the alarm sound
    QString mailer;                            // the user's mail program
    bool automatic = keys::Automatic.fallback; // false: check manually
    // Options of manual checking.
    bool ask = keys::Ask.fallback;
    bool launch = keys::Launch.fallback;
    bool exit = keys::Exit.fallback;
    // Options of automatic checking.
    bool kill = keys::Kill.fallback;
    bool alarm = keys::Alarm.fallback;
    bool repeat = keys::Repeat.fallback;
    int minutes = keys::Minutes.fallback;
    int ras = keys::Ras.fallback;            // 0 no dial-up; k the k-th dial-up entry
    std::string count{keys::Count.fallback}; // spam messages deleted so far, as stored
    bool sysTray = keys::SysTray.fallback;

    bool operator==(const GeneralSettings&) const = default;
};

// Reads section General into the live copy (all but Points; the log naming comes with
// readServerSettings). A value the store cannot read stops the load there; the fields read
// before it keep their new values.
Status ReadGeneralSettings(GeneralSettings& settings);

// Writes section Logfile (exactly one naming "1") and section General from the live copy.
Status SaveGeneralSettings(const GeneralSettings& settings);

// The log naming as stored: Month if set, else Quarter if set, else AsIs. Throws SettingsError.
LogNaming readLogNaming(const SettingsStore& store);
void writeLogNaming(SettingsStore& store, LogNaming naming);

// The values the main window takes once at start.
struct StartupValues {
    bool sysTray = keys::SysTray.fallback;
    bool automatic = keys::Automatic.fallback;
    int minutes = keys::Minutes.fallback;
    int which = keys::Which.fallback;
    int ras = keys::Ras.fallback;
};
Status readStartupValues(StartupValues& values);

// The tray's mode commands write this one value, and the live copy follows.
Status writeAutomaticMode(GeneralSettings& settings, bool automatic);

// The activity log's name as stored now, for the statistics launcher.
Status readStoredLogFile(QString& logFile);

// The About box's click counter.
Status readPoints(int& points);
Status writePoints(int points);

// Column widths of a rule grid (section keys::SubjectColumns and the like): one entry per column,
// keys::ColumnFallback where none is stored.
Status readColumnWidths(std::string_view section, int columns, std::vector<int>& widths);
Status saveColumnWidths(std::string_view section, const std::vector<int>& widths);

// Adds the messages a deletion run was asked to delete to the counter. A stored counter that is
// not a decimal number starts again from 0.
void addToCount(GeneralSettings& settings, long long deleted);

// The log file's name for a naming on a given day: for Month the abbreviated month name and the
// two-digit year (Mar99.txt), for Quarter Q1_ to Q4_ and the two-digit year (Q1_99.txt), in the
// folder of the current path; AsIs keeps the path.
QString namedLogFile(const QString& path, LogNaming naming, const QDate& today);

} // namespace veltrane
