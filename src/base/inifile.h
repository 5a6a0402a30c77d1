#pragma once

#include "base/status.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

// A Windows-style ini file: [Section] headings and Key=Value lines, section and key names
// compared without regard to case, lines ended by CR LF when written. Lines it does not
// understand (comments, blank lines) are kept as they are, so a save loses nothing.
class IniFile {
public:
    // Reads the file; a missing or unreadable file gives an empty ini.
    static IniFile load(const QString& path);
    static IniFile parse(const std::string& text);

    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Windows' reading of integers: decimal or "0x" hex with an optional sign; anything else
    // gives the default.
    long long integer(const std::string& section, const std::string& key, long long fallback) const;
    bool boolean(const std::string& section, const std::string& key, bool fallback) const;

    void setValue(const std::string& section, const std::string& key, const std::string& value);
    void setInteger(const std::string& section, const std::string& key, long long value);
    void setBoolean(const std::string& section, const std::string& key, bool value);

    std::string text() const;
    Status save(const QString& path) const;

private:
    struct Line {
        std::string raw; // the line as read, for lines that are not key=value
        std::string key; // empty for other lines
        std::string value;
    };
    struct Section {
        std::string name; // empty for lines before the first heading
        std::vector<Line> lines;
    };
    Section* findSection(const std::string& name);
    const Section* findSection(const std::string& name) const;

    std::vector<Section> sections_;
};

// Reads a whole number as the Windows ini accessor does ("12", "-3", "0x1F"); nothing when
// the text is not one.
std::optional<long long> parseIniInteger(const std::string& text);

} // namespace veltrane
