#include "activity/activitylog.h"

#include "message/datetext.h"
#include "rules/textmatch.h"

#include <QLocale>

namespace veltrane {

namespace {

const SystemClock& systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace

std::string LogTimeStamp(const QDateTime& moment) {
    const QLocale locale;
    QString stamp = locale.toString(moment.date(), QStringLiteral("ddd")) + ' ' +
                    locale.toString(moment.date(), shortDateFormat()) + ' ' +
                    locale.toString(moment.time(), locale.timeFormat(QLocale::ShortFormat));
    for (QChar& c : stamp)
        if (c.isSpace())
            c = QLatin1Char(' ');
    return stamp.toUtf8().toStdString();
}

std::string loggedValue(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    return out;
}

ActivityLog::ActivityLog(LogFileName logFileName, const Clock& clock)
    : logFileName_(std::move(logFileName)), clock_(clock) {}

ActivityLog::ActivityLog(LogFileName logFileName) : ActivityLog(std::move(logFileName), systemClock()) {}

ActivityLog::~ActivityLog() {
    CloseLogFile();
}

std::string ActivityLog::LogTimeStamp() const {
    return veltrane::LogTimeStamp(clock_.now());
}

void ActivityLog::OpenLogFile() {
    if (open_)
        return;
    const QString name = logFileName_ ? logFileName_() : QString();
    if (IsBlank(name.toUtf8().toStdString()))
        return;
    file_.setFileName(name);
    // A failure leaves the file closed and its lines lost until the next CloseLogFile.
    (void)file_.open(QIODevice::WriteOnly | QIODevice::Append);
    open_ = true;
}

void ActivityLog::CloseLogFile() {
    if (!open_)
        return;
    if (file_.isOpen())
        file_.close();
    open_ = false;
}

void ActivityLog::writeRecord(const std::string& lines) {
    if (!file_.isOpen())
        return;
    // Written through at once, so the blocks of a deletion run that is cut short are kept.
    (void)file_.write(lines.data(), static_cast<qint64>(lines.size()));
    (void)file_.flush();
}

void ActivityLog::WriteMailCheck(long long count, std::string_view user, std::string_view server) {
    OpenLogFile();
    writeRecord("MAIL CHECK " + std::to_string(count) + " msg(s) for \"" + loggedValue(user) + "\" on server " +
                loggedValue(server) + " at " + LogTimeStamp() + "\r\n");
    CloseLogFile();
}

void ActivityLog::WriteCanceled(std::string_view user, std::string_view server) {
    OpenLogFile();
    writeRecord("OPERATION CANCELED FOR " + loggedValue(user) + " ON " + loggedValue(server) + " AT " + LogTimeStamp() +
                "\r\n");
    CloseLogFile();
}

void ActivityLog::WriteError(std::string_view error, std::string_view user, std::string_view server) {
    OpenLogFile();
    writeRecord("ERROR " + loggedValue(error) + " FOR " + loggedValue(user) + " ON " + loggedValue(server) + " AT " +
                LogTimeStamp() + "\r\n");
    CloseLogFile();
}

void ActivityLog::WriteAutomaticMode(bool enabled) {
    OpenLogFile();
    writeRecord(std::string("Automatic mode ") + (enabled ? "enabled" : "disabled") + " at " + LogTimeStamp() + "\r\n");
    CloseLogFile();
}

void ActivityLog::WriteDeletedSpam(std::string_view server, std::string_view user, std::string_view subject,
                                   std::string_view sender, std::string_view size, std::string_view date) {
    if (!open_)
        return;
    // Every label is padded to twelve characters, so each value starts in column 13.
    writeRecord("DELETE SPAM on " + LogTimeStamp() + "\r\n" +                                      //
                "   Server:  " + loggedValue(server) + " Mailbox: " + loggedValue(user) + "\r\n" + //
                "   Subject: " + loggedValue(subject) + "\r\n" +                                   //
                "   Sender:  " + loggedValue(sender) + "\r\n" +                                    //
                "   Size:    " + loggedValue(size) + "  Date: " + loggedValue(date) + "\r\n");
}

} // namespace veltrane
