#pragma once

#include "base/clock.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

namespace veltrane {

// A moment as the log writes it: abbreviated day name, short date (four-digit year) and short
// time of the regional settings, one blank between them ("Tue 1/5/1999 3:45 PM"). Blanks of other
// kinds inside the locale's formats become plain blanks, since readers split the stamp on them.
std::string LogTimeStamp(const QDateTime& moment);

// A value as it goes into the log: every control byte (CR, LF, tab, ...) becomes a blank, so text
// from the network can neither end a record early nor forge another one.
std::string loggedValue(std::string_view value);

// The activity log: one per process. It holds the file only from OpenLogFile to CloseLogFile;
// each opening takes the file name afresh from the live settings. A blank name switches logging
// off. A file that cannot be opened or written loses its lines without a word: logging never
// stops a check or a deletion.
class ActivityLog {
public:
    using LogFileName = std::function<QString()>;

    ActivityLog(LogFileName logFileName, const Clock& clock);
    explicit ActivityLog(LogFileName logFileName);
    ~ActivityLog();
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // Opens the named file for appending, creating it when missing. Nothing happens when the sink
    // is open already or the name is blank. The sink counts as open even when the file could not
    // be opened, until CloseLogFile.
    void OpenLogFile();
    void CloseLogFile();
    bool isOpen() const { return open_; }

    // One-line records: each opens the sink, writes and closes it.
    void WriteMailCheck(long long count, std::string_view user, std::string_view server);
    void WriteCanceled(std::string_view user, std::string_view server);
    void WriteError(std::string_view error, std::string_view user, std::string_view server);
    void WriteAutomaticMode(bool enabled);

    // The five-line block of one deleted message, written only while a deletion run holds the sink
    // open; it neither opens nor closes it.
    void WriteDeletedSpam(std::string_view server, std::string_view user, std::string_view subject,
                          std::string_view sender, std::string_view size, std::string_view date);

    // The time stamp of now, by the log's clock.
    std::string LogTimeStamp() const;

private:
    void writeRecord(const std::string& lines);

    LogFileName logFileName_;
    const Clock& clock_;
    QFile file_;
    bool open_ = false;
};

} // namespace veltrane
