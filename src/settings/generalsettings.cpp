#include "settings/generalsettings.h"

#include "settings/settingsstore.h"

#include <QLocale>
#include <charconv>

namespace veltrane {

namespace {

QString path(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string text(const QString& path) {
    return path.toUtf8().toStdString();
}

// Runs one access to the store: the reads or writes of `work`, then the close. A read the store
// cannot serve stops the work and becomes the failure.
template <typename Work>
Status withStore(Work work) {
    try {
        SettingsStore store;
        work(store);
        return store.close();
    } catch (const SettingsError& error) {
        return Status::failure(error.what());
    }
}

} // namespace

LogNaming readLogNaming(const SettingsStore& store) {
    const bool asIs = store.read(keys::AsIs);
    const bool quarter = store.read(keys::Quarter);
    const bool month = store.read(keys::Month);
    (void)asIs; // read for its place in the order; AsIs is what remains
    if (month)
        return LogNaming::Month;
    if (quarter)
        return LogNaming::Quarter;
    return LogNaming::AsIs;
}

void writeLogNaming(SettingsStore& store, LogNaming naming) {
    store.write(keys::AsIs, naming == LogNaming::AsIs);
    store.write(keys::Quarter, naming == LogNaming::Quarter);
    store.write(keys::Month, naming == LogNaming::Month);
}

Status ReadGeneralSettings(GeneralSettings& s) {
    return withStore([&](SettingsStore& store) {
        s.logFile = path(store.read(keys::LogFile));
        s.alarmFile = path(store.read(keys::AlarmFile));
        s.automatic = store.read(keys::Automatic);
        s.ask = store.read(keys::Ask);
        s.minutes = store.read(keys::Minutes);
        s.mailer = path(store.read(keys::Mailer));
        s.launch = store.read(keys::Launch);
        s.exit = store.read(keys::Exit);
        s.kill = store.read(keys::Kill);
        s.alarm = store.read(keys::Alarm);
        s.repeat = store.read(keys::Repeat);
        s.ras = store.read(keys::Ras);
        s.count = store.read(keys::Count);
        s.sysTray = store.read(keys::SysTray);
    });
}

Status SaveGeneralSettings(const GeneralSettings& s) {
    return withStore([&](SettingsStore& store) {
        writeLogNaming(store, s.logNaming);
        store.write(keys::LogFile, text(s.logFile));
        store.write(keys::Mailer, text(s.mailer));
        store.write(keys::AlarmFile, text(s.alarmFile));
        store.write(keys::Automatic, s.automatic);
        store.write(keys::Ask, s.ask);
        store.write(keys::Kill, s.kill);
        store.write(keys::Minutes, s.minutes);
        store.write(keys::Launch, s.launch);
        store.write(keys::Exit, s.exit);
        store.write(keys::Alarm, s.alarm);
        store.write(keys::Repeat, s.repeat);
        store.write(keys::Ras, s.ras);
        store.write(keys::Count, s.count);
        store.write(keys::SysTray, s.sysTray);
    });
}

Status readStartupValues(StartupValues& v) {
    return withStore([&](SettingsStore& store) {
        v.sysTray = store.read(keys::SysTray);
        v.automatic = store.read(keys::Automatic);
        v.minutes = store.read(keys::Minutes);
        v.which = store.read(keys::Which);
        v.ras = store.read(keys::Ras);
    });
}

Status writeAutomaticMode(GeneralSettings& settings, bool automatic) {
    Status status = withStore([&](SettingsStore& store) { store.write(keys::Automatic, automatic); });
    settings.automatic = automatic;
    return status;
}

Status readStoredLogFile(QString& logFile) {
    return withStore([&](SettingsStore& store) { logFile = path(store.read(keys::LogFile)); });
}

Status readPoints(int& points) {
    return withStore([&](SettingsStore& store) { points = store.read(keys::Points); });
}

Status writePoints(int points) {
    return withStore([&](SettingsStore& store) { store.write(keys::Points, points); });
}

Status readColumnWidths(std::string_view section, int columns, std::vector<int>& widths) {
    widths.assign(static_cast<size_t>(std::max(columns, 0)), keys::ColumnFallback);
    return withStore([&](SettingsStore& store) {
        for (int c = 0; c < columns; ++c)
            widths[static_cast<size_t>(c)] =
                store.ReadInteger(section, numberedName(keys::ColumnPrefix, c), keys::ColumnFallback);
    });
}

Status saveColumnWidths(std::string_view section, const std::vector<int>& widths) {
    return withStore([&](SettingsStore& store) {
        for (size_t c = 0; c < widths.size(); ++c)
            store.WriteInteger(section, numberedName(keys::ColumnPrefix, static_cast<int>(c)), widths[c]);
    });
}

void addToCount(GeneralSettings& settings, long long deleted) {
    long long count = 0;
    const std::string& stored = settings.count;
    auto [end, ec] = std::from_chars(stored.data(), stored.data() + stored.size(), count);
    if (ec != std::errc() || end != stored.data() + stored.size())
        count = 0;
    settings.count = std::to_string(count + deleted);
}

QString namedLogFile(const QString& current, LogNaming naming, const QDate& today) {
    QString name;
    switch (naming) {
    case LogNaming::AsIs:
        return current;
    case LogNaming::Month:
        name = QLocale().toString(today, QStringLiteral("MMMyy")) + ".txt";
        break;
    case LogNaming::Quarter:
        name = QStringLiteral("Q%1_").arg((today.month() - 1) / 3 + 1) +
               QLocale().toString(today, QStringLiteral("yy")) + ".txt";
        break;
    }
    qsizetype cut = current.lastIndexOf('/');
#ifdef Q_OS_WIN
    cut = std::max({cut, current.lastIndexOf('\\'), current.lastIndexOf(':')});
#endif
    return current.left(cut + 1) + name;
}

} // namespace veltrane
