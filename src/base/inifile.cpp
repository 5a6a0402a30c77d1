#include "base/inifile.h"

#include "base/atomicfile.h"
#include "base/text.h"

#include <charconv>

namespace veltrane {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<long long> parseIniInteger(const std::string& input) {
    std::string text = trimText(input);
    bool negative = false;
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (text.size() - pos > 2 && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    } else if (text.size() - pos > 1 && text[pos] == '$') {
        base = 16;
        pos += 1;
    }
    if (pos >= text.size())
        return std::nullopt;
    long long value = 0;
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return negative ? -value : value;
}

IniFile IniFile::load(const QString& path) {
    auto bytes = readWholeFile(path);
    return bytes ? parse(*bytes) : IniFile();
}

IniFile IniFile::parse(const std::string& text) {
    IniFile ini;
    ini.sections_.push_back(Section{});
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = end + 1;

        const std::string t = trimText(line);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            ini.sections_.push_back(Section{trimText(t.substr(1, t.size() - 2)), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos && !t.empty() && t.front() != ';') {
            ini.sections_.back().lines.push_back(
                Line{line, trimText(line.substr(0, eq)), trimText(line.substr(eq + 1))});
        } else {
            ini.sections_.back().lines.push_back(Line{line, {}, {}});
        }
    }
    return ini;
}

IniFile::Section* IniFile::findSection(const std::string& name) {
    for (auto& s : sections_)
        if (!s.name.empty() && sameName(s.name, name))
            return &s;
    return nullptr;
}

const IniFile::Section* IniFile::findSection(const std::string& name) const {
    return const_cast<IniFile*>(this)->findSection(name);
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const {
    const Section* s = findSection(section);
    if (!s)
        return std::nullopt;
    for (const auto& line : s->lines)
        if (!line.key.empty() && sameName(line.key, key))
            return line.value;
    return std::nullopt;
}

long long IniFile::integer(const std::string& section, const std::string& key, long long fallback) const {
    auto text = value(section, key);
    if (!text)
        return fallback;
    return parseIniInteger(*text).value_or(fallback);
}

bool IniFile::boolean(const std::string& section, const std::string& key, bool fallback) const {
    return integer(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::setValue(const std::string& section, const std::string& key, const std::string& value) {
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{section, {}});
        s = &sections_.back();
    }
    for (auto& line : s->lines) {
        if (!line.key.empty() && sameName(line.key, key)) {
            if (line.value != value)
                line.raw.clear(); // written anew
            line.value = value;
            return;
        }
    }
    // New keys go after the section's last key, ahead of any blank lines that separate sections.
    auto at = s->lines.end();
    while (at != s->lines.begin() && std::prev(at)->key.empty() && trimText(std::prev(at)->raw).empty())
        --at;
    s->lines.insert(at, Line{{}, key, value});
}

void IniFile::setInteger(const std::string& section, const std::string& key, long long value) {
    setValue(section, key, std::to_string(value));
}

void IniFile::setBoolean(const std::string& section, const std::string& key, bool value) {
    setValue(section, key, value ? "1" : "0");
}

std::string IniFile::text() const {
    std::string out;
    for (const auto& s : sections_) {
        if (!s.name.empty())
            out += "[" + s.name + "]\r\n";
        for (const auto& line : s.lines)
            out += (line.key.empty() || !line.raw.empty() ? line.raw : line.key + "=" + line.value) + "\r\n";
    }
    return out;
}

Status IniFile::save(const QString& path) const {
    return writeFileAtomically(path, text());
}

} // namespace veltrane
