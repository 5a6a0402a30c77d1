#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <cstdint>
#include <limits>

namespace veltrane {

namespace {

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

// The first entry spelled exactly as asked, else the first that differs only in letter case.
QString findSpelling(const QStringList& names, const QString& wanted) {
    if (names.contains(wanted))
        return wanted;
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    return {};
}

bool isBlankChar(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

QString settingsLocation() {
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\Quorvell\\Veltrane\\10");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Quorvell/Veltrane.conf";
#endif
}

std::optional<int> parseStoredInteger(std::string_view input) {
    size_t b = 0, e = input.size();
    while (b < e && isBlankChar(input[b]))
        ++b;
    std::string_view text = input.substr(b, e - b);
    bool negative = false;
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    bool hex = false;
    if (text.size() - pos > 2 && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        hex = true;
        pos += 2;
    } else if (text.size() - pos > 1 && text[pos] == '$') {
        hex = true;
        pos += 1;
    }
    if (pos >= text.size())
        return std::nullopt;
    // Hexadecimal takes all 32 bits (0xFFFFFFFF is -1); decimal must fit a signed 32-bit number.
    const unsigned long long limit = hex ? 0xFFFFFFFFull : 0x80000000ull;
    unsigned long long magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (magnitude > limit)
            return std::nullopt;
    }
    if (hex) {
        const auto bits = static_cast<std::uint32_t>(negative ? (0x100000000ull - magnitude) : magnitude);
        return static_cast<std::int32_t>(bits);
    }
    if (!negative && magnitude > static_cast<unsigned long long>(std::numeric_limits<int>::max()))
        return std::nullopt;
    return negative ? static_cast<int>(-static_cast<long long>(magnitude)) : static_cast<int>(magnitude);
}

SettingsStore::SettingsStore() : SettingsStore(settingsLocation()) {}

SettingsStore::SettingsStore(const QString& location) : location_(location) {
#ifdef Q_OS_WIN
    if (location.startsWith("HKEY_", Qt::CaseInsensitive)) {
        isFile_ = false;
        settings_ = std::make_unique<QSettings>(location, QSettings::NativeFormat);
        return;
    }
#endif
    folderMade_ = QDir().mkpath(QFileInfo(location).absolutePath());
    if (folderMade_ && !QFileInfo::exists(location)) {
        // Made here, before the first write, so the enciphered passwords are never readable by
        // others; later saves replace the file and keep its permissions.
        QFile file(location);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly))
            file.close();
    }
    settings_ = std::make_unique<QSettings>(location, QSettings::IniFormat);
}

SettingsStore::~SettingsStore() {
    (void)close();
}

std::optional<QString> SettingsStore::existingGroup(std::string_view section) const {
    const QString wanted = qtext(section);
    // In an INI file the section [General] holds the top-level keys.
    if (isFile_ && wanted.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return QString();
    const QString found = findSpelling(settings_->childGroups(), wanted);
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

QStringList SettingsStore::keysOf(const QString& group) const {
    if (group.isEmpty())
        return settings_->childKeys();
    settings_->beginGroup(group);
    QStringList keys = settings_->childKeys();
    settings_->endGroup();
    return keys;
}

std::string SettingsStore::ReadString(std::string_view section, std::string_view name,
                                      std::string_view fallback) const {
    if (!settings_)
        return std::string(fallback);
    const std::optional<QString> group = existingGroup(section);
    if (!group)
        return std::string(fallback);
    const QString key = findSpelling(keysOf(*group), qtext(name));
    if (key.isEmpty())
        return std::string(fallback);
    const QVariant value = settings_->value(group->isEmpty() ? key : *group + "/" + key);
    switch (value.typeId()) {
    case QMetaType::QString:
        return bytes(value.toString());
    case QMetaType::QStringList:
        // A hand-edited line with an unquoted comma; the file held one text.
        return bytes(value.toStringList().join(", "));
    default:
        throw SettingsError("Invalid data type for '" + std::string(name) + "'");
    }
}

int SettingsStore::ReadInteger(std::string_view section, std::string_view name, int fallback) const {
    const std::string text = ReadString(section, name, {});
    return parseStoredInteger(text).value_or(fallback);
}

bool SettingsStore::ReadBool(std::string_view section, std::string_view name, bool fallback) const {
    return ReadInteger(section, name, fallback ? 1 : 0) != 0;
}

void SettingsStore::WriteString(std::string_view section, std::string_view name, std::string_view text) {
    if (!settings_)
        return;
    if (firstName_.empty()) {
        firstSection_ = std::string(section);
        firstName_ = std::string(name);
    }
    const QString group = existingGroup(section).value_or(qtext(section));
    const QString prefix = group.isEmpty() ? QString() : group + "/";
    // Keep a single spelling of the name, the one already stored if there is one.
    const QString wanted = qtext(name);
    QString key;
    const QStringList existing = keysOf(group);
    if (existing.contains(wanted))
        key = wanted;
    for (const QString& other : existing) {
        if (other.compare(wanted, Qt::CaseInsensitive) != 0 || other == key)
            continue;
        if (key.isEmpty())
            key = other;
        else
            settings_->remove(prefix + other);
    }
    if (key.isEmpty())
        key = wanted;
    settings_->setValue(prefix + key, qtext(text));
}

void SettingsStore::WriteInteger(std::string_view section, std::string_view name, int value) {
    WriteString(section, name, std::to_string(value));
}

void SettingsStore::WriteBool(std::string_view section, std::string_view name, bool value) {
    WriteString(section, name, value ? "1" : "0");
}

Status SettingsStore::close() {
    if (!settings_)
        return Status::success();
    settings_->sync();
    const QSettings::Status status = settings_->status();
    settings_.reset();
    const bool wrote = !firstName_.empty();
    const std::string section = firstSection_;
    const std::string name = firstName_;
    firstSection_.clear();
    firstName_.clear();
    if (!wrote)
        return Status::success();
    if (!folderMade_)
        return Status::failure("Failed to create key " + section);
    if (status != QSettings::NoError)
        return Status::failure("Failed to set data for '" + name + "'");
    if (isFile_) {
        QFile file(location_);
        constexpr QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                    QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                    QFileDevice::WriteOther | QFileDevice::ExeOther;
        if (file.permissions() & others)
            file.setPermissions(OwnerOnly);
    }
    return Status::success();
}

} // namespace veltrane
