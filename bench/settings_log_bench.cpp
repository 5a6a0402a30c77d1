// The costs of the settings store and the activity log reader that a user can feel:
// - loading one account before a check (the automatic round does this thirteen times),
// - the general settings window's OK (general settings and all twelve accounts written),
// - reading a large activity log back as the statistics window does.
// The store lives in a temporary configuration folder, never the user's.
//
//   make bench            (or: build/bench/settings_log_bench)

#include "activity/activitylog.h"
#include "activity/logreader.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "settings/messageboxes.h"
#include "settings/textcipher.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace veltrane {
namespace {

class SilentBoxes final : public MessageBoxes {
public:
    void error(const std::string&) override {}
    void warning(const std::string&) override {}
    void information(const std::string&) override {}
    bool confirm(const std::string&) override { return false; }
};

MailboxAccounts twelveAccounts() {
    MailboxAccounts accounts;
    for (int n = 1; n <= MailboxAccounts::Count; ++n)
        accounts.account(n) = {"pop" + std::to_string(n) + ".example.com", "user" + std::to_string(n),
                               "password number " + std::to_string(n)};
    return accounts;
}

void BM_SaveGeneralAndAccounts(benchmark::State& state) {
    TextCipher cipher{std::string(PasswordKey)};
    const MailboxAccounts accounts = twelveAccounts();
    GeneralSettings general;
    general.logFile = "/home/user/.local/share/Quorvell/Veltrane/logfile.txt";
    for (auto _ : state) {
        if (!SaveGeneralSettings(general).ok() || !saveServerSettings(accounts, cipher).ok())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveGeneralAndAccounts)->Unit(benchmark::kMillisecond);

void BM_LoadAccountForCheck(benchmark::State& state) {
    TextCipher cipher{std::string(PasswordKey)};
    SilentBoxes boxes;
    Pop3ClientSettings client;
    (void)saveServerSettings(twelveAccounts(), cipher);
    (void)GetRemotePOPSettings(1, client, cipher, boxes); // sets the cipher marker
    int n = 0;
    for (auto _ : state) {
        if (!GetRemotePOPSettings(n % 12 + 1, client, cipher, boxes).ok())
            state.SkipWithError("load failed");
        ++n;
    }
}
BENCHMARK(BM_LoadAccountForCheck)->Unit(benchmark::kMicrosecond);

// A log of a busy year: 20,000 checks and 30,000 deletion blocks (170,000 lines).
QByteArray bigLog() {
    QTemporaryDir dir;
    const QString file = dir.filePath("log.txt");
    FixedClock clock(QDateTime(QDate(2024, 1, 1), QTime(8, 0)));
    ActivityLog log([&] { return file; }, clock);
    for (int i = 0; i < 20000; ++i) {
        clock.set(clock.now().addSecs(600));
        log.WriteMailCheck(i % 7, "user" + std::to_string(i % 3), "pop.example.com");
        log.OpenLogFile();
        for (int k = 0; k < (i % 3); ++k)
            log.WriteDeletedSpam("pop.example.com", "user" + std::to_string(i % 3),
                                 "Cheap offer number " + std::to_string(i),
                                 "Sender" + std::to_string(i % 500) + "@Spam" + std::to_string(i % 40) + ".example",
                                 std::to_string(1000 + i), "1/1/2024 8:00:00 AM");
        log.CloseLogFile();
    }
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void BM_ParseLog(benchmark::State& state) {
    QByteArray bytes = bigLog();
    const FixedClock clock(QDateTime(QDate(2024, 6, 1), QTime(12, 0)));
    size_t records = 0;
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const ParsedLog log = parseLog(buffer, clock);
        records = log.checks.size() + log.deletions.size();
        benchmark::DoNotOptimize(records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.size());
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_ParseLog)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace veltrane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
