// Checking a 1,000-message Dovecot mailbox (LIST n and TOP n 1 for every message), through a
// loopback proxy that holds every chunk back 10 ms each way (a 20 ms round trip, like a real
// provider) and through no proxy at all, side by side with:
//   - checker: the whole veltrane-check process, as cron runs it, with the server known from an
//     earlier run (every run but the first) and meeting it for the first time;
//   - client:  the POP3 client in this process, listing only, meeting the server for the first time;
//   - poplib:  Python's poplib doing the same LIST/TOP loop one command at a time;
//   - floor:   a raw client in this process that sends every command at once, without waiting even
//              for the greeting, and reads until the server hangs up.
// Also the peak memory of the client listing 10,000 messages.
//
//   build/bench/pop3listing_bench
//
// Figures on the development machine (2 cores, Debian 12, Dovecot 2.3.19), wall time of one check
// or listing of 1,000 messages:
//                                         20 ms round trip     no proxy
//   checker, server known                     89-93 ms          54-61 ms
//   checker, first contact                  125-136 ms
//   client, window 1000 (default)           110-126 ms          37 ms
//   client, window 256                          169 ms
//   client, window 64                           433 ms
//   client, one command at a time             40926 ms         233 ms
//   poplib                                    41204 ms         454 ms
//   floor                                     47-49 ms          33 ms
//   peak resident size listing 10,000 messages: 35 MB (the whole process, Qt included)
// Through the proxy, the checker that knows the server is about 1.9 times the floor: it waits for
// the STAT count (one round trip) before its LIST/TOP pairs can go, and spends some 17 ms of its
// own starting the process, classifying and writing the log. At first contact it also waits for
// the greeting and the CAPA reply before it may pipeline anything.

#include "mail/pop3client.h"
#include "servers/pop3/dovecotserver.h"
#include "servers/pop3/tcpproxy.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace veltrane {
namespace {

constexpr int Messages = 1000;
constexpr int BigMailbox = 10000;
constexpr auto HalfTrip = std::chrono::milliseconds(10);

std::string message(int i) {
    const std::string n = std::to_string(i);
    std::string text = "Return-Path: <sender" + n + "@example.org>\r\n";
    for (int hop = 0; hop < 3; ++hop)
        text += "Received: from relay" + std::to_string(hop) + ".example.net (relay" + std::to_string(hop) +
                ".example.net [192.0.2." + std::to_string(hop + 1) + "])\r\n\tby mx.example.com with ESMTPS id " + n +
                "\r\n\tfor <joe@example.com>; Tue, 9 Mar 1999 10:20:30 +0100\r\n";
    text += "From: \"Sender " + n + "\" <sender" + n +
            "@example.org>\r\nTo: joe@example.com\r\n"
            "Subject: A message of the benchmark, number " +
            n +
            "\r\nDate: Tue, 9 Mar 1999 10:20:30 +0100\r\n"
            "Message-ID: <" +
            n + ".bench@example.org>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n";
    for (int line = 0; line < 20; ++line)
        text += "Body line " + std::to_string(line) + " of message " + n + ", long enough to look like prose.\r\n";
    return text;
}

// One Dovecot for the whole run: "joe" has 1,000 messages, "big" 10,000.
test::DovecotServer& server() {
    static std::unique_ptr<test::DovecotServer> instance = [] {
        auto s = std::make_unique<test::DovecotServer>();
        s->addUser("joe", "secret");
        s->addUser("big", "secret");
        for (int i = 1; i <= Messages; ++i)
            s->addMessage("joe", message(i));
        for (int i = 1; i <= BigMailbox; ++i)
            s->addMessage("big", message(i));
        if (!s->start()) {
            fprintf(stderr, "%s\n", s->error().c_str());
            std::exit(1);
        }
        return s;
    }();
    return *instance;
}

Status listOnce(int port, const std::string& user, int window, int* count = nullptr) {
    Pop3Client client;
    client.settings().server = "127.0.0.1:" + std::to_string(port);
    client.settings().userName = user;
    client.settings().password = "secret";
    client.settings().pipelineWindow = window;
    Status status = client.ListHeaders();
    if (count)
        *count = client.InfoCount();
    return status;
}

// Dovecot builds its index and cache on the first listing; no figure should include that.
void warmUp() {
    static bool done = [] {
        (void)listOnce(server().port(), "joe", 64);
        (void)listOnce(server().port(), "big", 64);
        return true;
    }();
    (void)done;
}

void ClientListing(benchmark::State& state, bool delayed) {
    warmUp();
    std::unique_ptr<test::TcpProxy> proxy;
    if (delayed)
        proxy = std::make_unique<test::TcpProxy>(server().port(), HalfTrip);
    const int port = proxy ? proxy->port() : server().port();
    for (auto _ : state) {
        int count = 0;
        const Status status = listOnce(port, "joe", static_cast<int>(state.range(0)), &count);
        if (!status.ok() || count != Messages)
            state.SkipWithError(status.ok() ? "short listing" : status.error().c_str());
    }
    state.counters["messages/s"] = benchmark::Counter(Messages, benchmark::Counter::kIsIterationInvariantRate);
}

// Every command at once, then everything the server says until it hangs up: the wire's floor.
void RawFloor(benchmark::State& state, bool delayed) {
    warmUp();
    std::unique_ptr<test::TcpProxy> proxy;
    if (delayed)
        proxy = std::make_unique<test::TcpProxy>(server().port(), HalfTrip);
    const int port = proxy ? proxy->port() : server().port();
    std::string commands = "USER joe\r\nPASS secret\r\nSTAT\r\n";
    for (int n = 1; n <= Messages; ++n)
        commands += "LIST " + std::to_string(n) + "\r\nTOP " + std::to_string(n) + " 1\r\n";
    commands += "QUIT\r\n";
    for (auto _ : state) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            state.SkipWithError("cannot connect");
            close(fd);
            break;
        }
        ::send(fd, commands.data(), commands.size(), MSG_NOSIGNAL);
        size_t received = 0;
        char buffer[65536];
        for (ssize_t n; (n = recv(fd, buffer, sizeof(buffer), 0)) > 0;)
            received += static_cast<size_t>(n);
        close(fd);
        benchmark::DoNotOptimize(received);
    }
    state.counters["messages/s"] = benchmark::Counter(Messages, benchmark::Counter::kIsIterationInvariantRate);
}

const char* const PoplibScript = R"(
import poplib, sys
box = poplib.POP3("127.0.0.1", int(sys.argv[1]))
box.user("joe")
box.pass_("secret")
count = box.stat()[0]
for n in range(1, count + 1):
    box.list(n)
    box.top(n, 1)
box.quit()
)";

void Poplib(benchmark::State& state, bool delayed) {
    warmUp();
    std::unique_ptr<test::TcpProxy> proxy;
    if (delayed)
        proxy = std::make_unique<test::TcpProxy>(server().port(), HalfTrip);
    const int port = proxy ? proxy->port() : server().port();
    QTemporaryDir dir;
    QFile script(dir.filePath("list.py"));
    script.open(QIODevice::WriteOnly);
    script.write(PoplibScript);
    script.close();
    for (auto _ : state) {
        QProcess python;
        python.start("python3", {script.fileName(), QString::number(port)});
        if (!python.waitForFinished(600000) || python.exitCode() != 0)
            state.SkipWithError(python.readAllStandardError().constData());
    }
    state.counters["messages/s"] = benchmark::Counter(Messages, benchmark::Counter::kIsIterationInvariantRate);
}

// The whole headless checker, as cron would run it: process start, settings, rules, the check of
// the 1,000 messages with their classification, the log and the saved hit counts. known: the
// data folder remembers the server from an earlier run (every run but the first); otherwise each
// run meets the server for the first time.
void CheckerProcess(benchmark::State& state, bool delayed, bool known) {
    warmUp();
    std::unique_ptr<test::TcpProxy> proxy;
    if (delayed)
        proxy = std::make_unique<test::TcpProxy>(server().port(), HalfTrip);
    const int port = proxy ? proxy->port() : server().port();
    QTemporaryDir home, config;
    for (const auto& [name, text] : {std::pair{"veltrane.ini", "[Known]\r\nValid=0\r\n"}, {"pw", "secret\n"}}) {
        QFile file(home.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(text);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELTRANE_HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", config.path());
    const QStringList arguments{"--mailbox",       "1",
                                "--server",        QString("127.0.0.1:%1").arg(port),
                                "--user",          "joe",
                                "--password-file", home.filePath("pw"),
                                "--log",           home.filePath("check.log")};
    auto check = [&] {
        QProcess checker;
        checker.setProcessEnvironment(environment);
        checker.start(VELTRANE_CHECK_PATH, arguments);
        if (!checker.waitForFinished(600000) || checker.exitCode() != 0)
            state.SkipWithError(checker.readAllStandardError().constData());
        else if (!checker.readAllStandardOutput().contains("Message Total: 1000 "))
            state.SkipWithError("short listing");
    };
    const QString memory = home.filePath("pop3servers.txt");
    if (known)
        check();
    for (auto _ : state) {
        if (!known) {
            state.PauseTiming();
            QFile::remove(memory);
            state.ResumeTiming();
        }
        check();
    }
    state.counters["messages/s"] = benchmark::Counter(Messages, benchmark::Counter::kIsIterationInvariantRate);
}

long peakResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Runs first, so the process's peak resident size is the listing's.
void ListingMemory(benchmark::State& state) {
    warmUp();
    for (auto _ : state) {
        int count = 0;
        const Status status = listOnce(server().port(), "big", 1000, &count);
        if (!status.ok() || count != BigMailbox)
            state.SkipWithError(status.ok() ? "short listing" : status.error().c_str());
    }
    state.counters["peak_RSS_MB"] = static_cast<double>(peakResidentKilobytes()) / 1024.0;
}

BENCHMARK(ListingMemory)
    ->Name("listing_10000_messages_memory")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ClientListing, delayed, true)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(64)
    ->Arg(256)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(CheckerProcess, delayed_known, true, true)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(CheckerProcess, delayed_first_contact, true, false)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(RawFloor, delayed, true)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Poplib, delayed, true)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ClientListing, direct, false)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(1000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(CheckerProcess, direct_known, false, true)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(RawFloor, direct, false)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Poplib, direct, false)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace veltrane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
