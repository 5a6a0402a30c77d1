#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <string>

namespace veltrane::test {

// A temporary folder that also serves as the data folder ($VELTRANE_HOME) while it lives.
class TempDataFolder {
public:
    TempDataFolder() : previous_(qgetenv("VELTRANE_HOME")) { qputenv("VELTRANE_HOME", dir_.path().toUtf8()); }
    ~TempDataFolder() {
        if (previous_.isEmpty())
            qunsetenv("VELTRANE_HOME");
        else
            qputenv("VELTRANE_HOME", previous_);
    }
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + "/" + name; }

    void write(const QString& name, const std::string& bytes) const {
        QFile f(file(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    std::string read(const QString& name) const {
        QFile f(file(name));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray data = f.readAll();
        return std::string(data.constData(), static_cast<size_t>(data.size()));
    }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

} // namespace veltrane::test
