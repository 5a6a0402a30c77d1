#pragma once

#include "base/status.h"
#include "settings/settingskeys.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

class QSettings;

namespace veltrane {

// A read that met a value it cannot take as text ("Invalid data type for 'Minutes'").
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the user's settings live: the registry key HKEY_CURRENT_USER\Software\Quorvell\Veltrane\10
// on Windows; elsewhere the file Quorvell/Veltrane.conf in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), found afresh on every call.
QString settingsLocation();

// One access to the settings store: the object opens the store (creating it, readable by its owner
// alone, when it is missing), serves reads and writes, and closes it again. Keep it only as long as
// one operation runs, so every access sees what the previous one wrote.
//
// Every value is kept as a string: integers in decimal, booleans as "1" and "0". Texts are bytes
// (UTF-8 in the store). Section and value names are matched without regard to case, so a value
// written as AlarmFile is the one read as Alarmfile, and writing it again keeps one spelling.
class SettingsStore {
public:
    SettingsStore();
    // A store of the caller's choosing: an INI file (or, on Windows, a registry path "HKEY_...").
    explicit SettingsStore(const QString& location);
    // Closes the store; a write failure is lost here, so writers call close() themselves.
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // A missing section or value, and for numbers an empty or non-numeric text, give the fallback.
    // A value that is not a string throws SettingsError "Invalid data type for '<name>'".
    std::string ReadString(std::string_view section, std::string_view name, std::string_view fallback) const;
    // Decimal, or hexadecimal after "0x" ("0x1A" is 26), with an optional sign; 32 bits.
    int ReadInteger(std::string_view section, std::string_view name, int fallback) const;
    // An integer; anything but 0 is true.
    bool ReadBool(std::string_view section, std::string_view name, bool fallback) const;

    void WriteString(std::string_view section, std::string_view name, std::string_view text);
    void WriteInteger(std::string_view section, std::string_view name, int value);
    void WriteBool(std::string_view section, std::string_view name, bool value);

    std::string read(const TextSetting& s) const { return ReadString(s.section, s.name, s.fallback); }
    int read(const IntegerSetting& s) const { return ReadInteger(s.section, s.name, s.fallback); }
    bool read(const BoolSetting& s) const { return ReadBool(s.section, s.name, s.fallback); }
    void write(const TextSetting& s, std::string_view text) { WriteString(s.section, s.name, text); }
    void write(const IntegerSetting& s, int value) { WriteInteger(s.section, s.name, value); }
    void write(const BoolSetting& s, bool value) { WriteBool(s.section, s.name, value); }

    // Puts the writes of this access into the store. On failure nothing of this access is kept and
    // the text names the first value written: "Failed to create key <section>" when the store's
    // folder cannot be made, "Failed to set data for '<name>'" when the store refuses the write.
    Status close();

private:
    // The group of a section as stored ("" for the top level), or nothing when there is none yet.
    std::optional<QString> existingGroup(std::string_view section) const;
    QStringList keysOf(const QString& group) const;

    std::unique_ptr<QSettings> settings_;
    QString location_;
    bool isFile_ = true;
    bool folderMade_ = true;
    std::string firstSection_; // of the first write of this access, for the failure text
    std::string firstName_;
};

// The store's reading of an integer text; nothing when it is not one.
std::optional<int> parseStoredInteger(std::string_view text);

} // namespace veltrane
