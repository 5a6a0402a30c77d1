#include "servers/pop3/dovecotserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace veltrane::test {

namespace {

bool writeText(const QString& path, const std::string& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

std::string readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        close(fd);
    return ok;
}

std::string path(const QString& text) {
    return text.toStdString();
}

} // namespace

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

DovecotServer::DovecotServer() : DovecotServer(Options{}) {}

DovecotServer::DovecotServer(Options options) : options_(options), dir_(QDir::tempPath() + "/veltrane-dovecot-XXXXXX") {
    // The server's own users (login, internal, mail owner) must be able to reach their files.
    chmod(dir_.path().toLocal8Bit().constData(), 0755);
    if (getuid() == 0) {
        loginUser_ = "dovenull";
        internalUser_ = "dovecot";
        const passwd* owner = getpwnam("nobody");
        mailUid_ = owner ? owner->pw_uid : 65534;
        mailGid_ = owner ? owner->pw_gid : 65534;
    } else {
        const passwd* me = getpwuid(getuid());
        loginUser_ = internalUser_ = me ? me->pw_name : "";
        mailUid_ = getuid();
        mailGid_ = getgid();
    }
    QDir(dir_.path()).mkpath("mail");
    QDir(dir_.path()).mkpath("run");
    QDir(dir_.path()).mkpath("state");
}

DovecotServer::~DovecotServer() {
    stop();
}

QString DovecotServer::caFile() const {
    return dir_.path() + "/ca.pem";
}

QString DovecotServer::maildir(const std::string& user) const {
    return dir_.path() + "/mail/" + QString::fromStdString(user) + "/Maildir";
}

void DovecotServer::addUser(const std::string& name, const std::string& password) {
    users_.emplace_back(name, password);
    const QString home = dir_.path() + "/mail/" + QString::fromStdString(name);
    for (const char* sub : {"", "/new", "/cur", "/tmp"}) {
        const QString folder = maildir(name) + sub;
        QDir().mkpath(folder);
        chown(folder.toLocal8Bit().constData(), mailUid_, mailGid_);
    }
    chown(home.toLocal8Bit().constData(), mailUid_, mailGid_);
    writeUsers();
}

void DovecotServer::writeUsers() {
    std::string text;
    for (const auto& [name, password] : users_)
        text += name + ":{PLAIN}" + password + ":" + std::to_string(mailUid_) + ":" + std::to_string(mailGid_) +
                "::" + path(dir_.path()) + "/mail/" + name + "\n";
    // Written beside and moved in, so the server never reads half a file.
    const QString file = dir_.path() + "/passwd";
    writeText(file + ".new", text);
    chmod((file + ".new").toLocal8Bit().constData(), 0644);
    QFile::remove(file);
    QFile::rename(file + ".new", file);
}

bool DovecotServer::makeCertificates() {
    const QString d = dir_.path();
    writeText(d + "/server.ext", "subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                                 "keyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n");
    const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const QList<QStringList> steps{
        QStringList{"req", "-x509"} + ec +
            QStringList{"-keyout", d + "/ca.key", "-out", d + "/ca.pem", "-days", "2", "-subj",
                        "/CN=Veltrane test authority", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                        "keyUsage=critical,keyCertSign,cRLSign"},
        QStringList{"req"} + ec +
            QStringList{"-keyout", d + "/server.key", "-out", d + "/server.csr", "-subj", "/CN=localhost"},
        QStringList{"x509", "-req", "-in", d + "/server.csr", "-CA", d + "/ca.pem", "-CAkey", d + "/ca.key",
                    "-CAcreateserial", "-out", d + "/server.pem", "-days", "2", "-extfile", d + "/server.ext"},
    };
    for (const QStringList& step : steps) {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start("openssl", step);
        if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
            openssl.exitCode() != 0) {
            error_ = "openssl failed: " + openssl.readAll().toStdString();
            return false;
        }
    }
    return true;
}

bool DovecotServer::writeConfig() {
    const bool root = getuid() == 0;
    std::string config = R"(base_dir = @DIR@/run
state_dir = @DIR@/state
log_path = @DIR@/dovecot.log
protocols = pop3
listen = 127.0.0.1
disable_plaintext_auth = no
auth_mechanisms = plain
auth_failure_delay = 0
default_login_user = @LOGIN@
default_internal_user = @INTERNAL@
first_valid_uid = 1
mail_location = maildir:~/Maildir
mail_fsync = never
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u @DIR@/passwd
}
userdb {
  driver = passwd-file
  args = username_format=%u @DIR@/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = @PORT@
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = @TLSPORT@
    @SSLLISTENER@
  }
  @CHROOT@
}
# No growing delay after failed logins: the tests log in wrongly on purpose.
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
  @CHROOT@
}
)";
    if (options_.tls)
        config += "ssl = yes\nssl_cert = <@DIR@/server.pem\nssl_key = <@DIR@/server.key\n";
    else
        config += "ssl = no\n";
    if (!root) {
        // Without root the server's sockets can only belong to the user's own group.
        const group* own = getgrgid(getgid());
        config += "default_internal_group = " + std::string(own ? own->gr_name : "") + "\n";
    }
    const std::pair<std::string, std::string> values[] = {
        {"@DIR@", path(dir_.path())},
        {"@LOGIN@", loginUser_},
        {"@INTERNAL@", internalUser_},
        {"@PORT@", std::to_string(port_)},
        {"@TLSPORT@", std::to_string(tlsPort_)},
        {"@SSLLISTENER@", options_.tls ? "ssl = yes" : ""},
        {"@CHROOT@", root ? "" : "chroot ="},
    };
    for (const auto& [name, value] : values)
        for (size_t at; (at = config.find(name)) != std::string::npos;)
            config.replace(at, name.size(), value);
    return writeText(dir_.path() + "/dovecot.conf", config);
}

bool DovecotServer::start() {
    if (!dir_.isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    if (options_.tls && !makeCertificates())
        return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeLoopbackPort();
        tlsPort_ = options_.tls ? freeLoopbackPort() : 0;
        if (!writeConfig()) {
            error_ = "cannot write the configuration";
            return false;
        }
        const std::string config = path(dir_.path()) + "/dovecot.conf";
        const std::string output = path(dir_.path()) + "/output.txt";
        std::vector<std::string> args{"/usr/sbin/dovecot", "-F", "-c", config};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid == 0) {
            // Only async-signal-safe calls until exec. A test that crashes takes its server along:
            // the kernel kills the master when the test goes, and Dovecot's other processes follow it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(127);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            execve(argv[0], argv.data(), environ);
            _exit(127);
        }
        close(in);
        close(out);
        if (pid < 0) {
            error_ = "cannot start dovecot";
            return false;
        }
        master_ = pid;

        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (waitpid(master_, &status, WNOHANG) == master_) {
                master_ = -1;
                if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
                    error_ = "cannot run /usr/sbin/dovecot (is dovecot-pop3d installed?)";
                    return false;
                }
                break;
            }
            if (accepts(port_) && (!options_.tls || accepts(tlsPort_)))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const std::string said = readText(QString::fromStdString(output)) + log();
        stop();
        error_ = "dovecot did not start: " + said;
        if (said.find("in use") == std::string::npos)
            return false;
    }
    return false;
}

std::vector<pid_t> DovecotServer::processes() const {
    std::vector<pid_t> found;
    if (master_ <= 0)
        return found;
    found.push_back(master_);
    // Children of the master and of its children, from the parent ids in /proc.
    std::vector<std::pair<pid_t, pid_t>> table;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number)
            continue;
        const std::string stat = readText("/proc/" + entry + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        pid_t parent = 0;
        if (sscanf(stat.c_str() + close + 1, " %*c %d", &parent) == 1)
            table.emplace_back(pid, parent);
    }
    for (size_t i = 0; i < found.size(); ++i)
        for (const auto& [pid, parent] : table)
            if (parent == found[i] && std::find(found.begin(), found.end(), pid) == found.end())
                found.push_back(pid);
    return found;
}

void DovecotServer::pause() {
    for (pid_t pid : processes())
        kill(pid, SIGSTOP);
    paused_ = true;
}

void DovecotServer::resume() {
    for (pid_t pid : processes())
        kill(pid, SIGCONT);
    paused_ = false;
}

void DovecotServer::stop() {
    if (master_ <= 0)
        return;
    if (paused_)
        resume();
    const std::vector<pid_t> family = processes();
    // Every process at once: the master would otherwise wait for its children to notice.
    for (pid_t pid : family)
        kill(pid, SIGTERM);
    // A master that takes its time (after a pause it may wait seconds for its children) is not
    // waited for: nothing of this server needs to outlive the test.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < until) {
        int status = 0;
        ended = waitpid(master_, &status, WNOHANG) == master_;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
        for (pid_t pid : processes())
            kill(pid, SIGKILL);
        int status = 0;
        waitpid(master_, &status, 0);
    }
    // Anything of it still about (it should be gone with its master) is ended too.
    for (pid_t pid : family) {
        if (pid == master_)
            continue;
        const std::string name = readText("/proc/" + QString::number(pid) + "/cmdline");
        if (name.find("dovecot") != std::string::npos)
            kill(pid, SIGKILL);
    }
    master_ = -1;
}

void DovecotServer::addMessage(const std::string& user, const std::string& bytes) {
    ++delivered_;
    const QString name = QString("%1.M%2P%3.veltrane").arg(1000000000UL + delivered_).arg(delivered_).arg(getpid());
    const QString draft = maildir(user) + "/tmp/" + name;
    writeText(draft, bytes);
    chown(draft.toLocal8Bit().constData(), mailUid_, mailGid_);
    QFile::rename(draft, maildir(user) + "/new/" + name);
}

std::vector<QString> DovecotServer::messageFiles(const std::string& user) const {
    std::vector<QString> files;
    for (const char* sub : {"/new", "/cur"})
        for (const QString& name : QDir(maildir(user) + sub).entryList(QDir::Files))
            files.push_back(maildir(user) + sub + "/" + name);
    // Names begin with the delivery number, so their order is the mailbox's.
    std::sort(files.begin(), files.end(),
              [](const QString& a, const QString& b) { return a.section('/', -1) < b.section('/', -1); });
    return files;
}

std::vector<std::string> DovecotServer::messages(const std::string& user) const {
    std::vector<std::string> found;
    for (const QString& file : messageFiles(user))
        found.push_back(readText(file));
    return found;
}

void DovecotServer::removeMessage(const std::string& user, size_t place) {
    const std::vector<QString> files = messageFiles(user);
    if (place < files.size())
        QFile::remove(files[place]);
}

std::string DovecotServer::log() const {
    return readText(dir_.path() + "/dovecot.log");
}

} // namespace veltrane::test
