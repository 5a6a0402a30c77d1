#pragma once

#include <string>
#include <string_view>

namespace veltrane {

// Every value of the settings store, with its section, its name as its writer spells it, its kind
// and the value a missing or unreadable entry takes. This is the one place that names them.
struct TextSetting {
    std::string_view section;
    std::string_view name;
    std::string_view fallback;
};
struct IntegerSetting {
    std::string_view section;
    std::string_view name;
    int fallback;
};
struct BoolSetting {
    std::string_view section;
    std::string_view name;
    bool fallback;
};

namespace keys {

inline constexpr std::string_view General = "General";
inline constexpr std::string_view Logfile = "Logfile";
inline constexpr std::string_view Server = "Server";

// Section General. Read by ReadGeneralSettings and written by SaveGeneralSettings unless noted.
inline constexpr TextSetting LogFile{General, "Logfile", ""};        // also read by the statistics launcher
inline constexpr TextSetting AlarmFile{General, "AlarmFile", ""};    // older readers spelled it Alarmfile
inline constexpr BoolSetting Automatic{General, "Automatic", false}; // also the tray's mode commands
inline constexpr BoolSetting Ask{General, "Ask", true};
inline constexpr IntegerSetting Minutes{General, "Minutes", 10};
inline constexpr TextSetting Mailer{General, "Mailer", ""};
inline constexpr BoolSetting Launch{General, "Launch", true};
inline constexpr BoolSetting Exit{General, "Exit", false};
inline constexpr BoolSetting Kill{General, "Kill", false};
inline constexpr BoolSetting Alarm{General, "Alarm", true};
inline constexpr BoolSetting Repeat{General, "Repeat", true};
inline constexpr IntegerSetting Ras{General, "RAS", 0};
inline constexpr TextSetting Count{General, "Count", "0"}; // a decimal number kept as text
inline constexpr BoolSetting SysTray{General, "SysTray", false};
inline constexpr IntegerSetting Points{General, "Points", 0}; // the About box's alone

// Section Logfile: the log naming; a save leaves exactly one of them "1".
inline constexpr BoolSetting AsIs{Logfile, "Asis", true};
inline constexpr BoolSetting Quarter{Logfile, "Quarter", false};
inline constexpr BoolSetting Month{Logfile, "Month", false};

// Section Server: the accounts (read and written by readServerSettings / saveServerSettings,
// read by GetRemotePOPSettings). The account values carry the mailbox number, 1 to 12, in
// decimal: Server7, Mailbox7, Passwd7.
inline constexpr IntegerSetting Which{Server, "Which", 1};
inline constexpr std::string_view ServerPrefix = "Server";
inline constexpr std::string_view MailboxPrefix = "Mailbox";
inline constexpr std::string_view PasswdPrefix = "Passwd";
inline constexpr std::string_view AccountFallback = "";
// Present with "161" once the stored passwords are in the current cipher.
inline constexpr TextSetting Version161{Server, "Version161", "xx"};
inline constexpr std::string_view CurrentCipherMark = "161";

// The column widths of the four rule grids, one section each: col0, col1, ... in pixels; -1 keeps
// the width of the window's layout. Read when the spam settings window is created, written when
// it is destroyed.
inline constexpr std::string_view SubjectColumns = "Subject";
inline constexpr std::string_view HeaderColumns = "Headers";
inline constexpr std::string_view SenderColumns = "Sender";
inline constexpr std::string_view ExceptionColumns = "Exceptions";
inline constexpr std::string_view ColumnPrefix = "col";
inline constexpr int ColumnFallback = -1;

} // namespace keys

// The name of a numbered value: prefix followed by the number in decimal ("Server7", "col0").
inline std::string numberedName(std::string_view prefix, int number) {
    return std::string(prefix) + std::to_string(number);
}

} // namespace veltrane
