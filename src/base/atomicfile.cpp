#include "base/atomicfile.h"

#include <QFile>
#include <QSaveFile>
#include <string_view>

namespace veltrane {

Status writeFileAtomically(const QString& path, const std::string& bytes) {
    // Rules and settings are saved after every check, mostly unchanged; comparing is far cheaper
    // than the sync to disk of a replacement, and leaves the file exactly as a rewrite would.
    if (QFile current(path); current.size() == static_cast<qint64>(bytes.size()) && current.open(QIODevice::ReadOnly)) {
        const QByteArray data = current.readAll();
        if (std::string_view(data.constData(), static_cast<size_t>(data.size())) == bytes)
            return Status::success();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        return Status::failure("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    }
    if (!file.commit())
        return Status::failure("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    return Status::success();
}

std::optional<std::string> readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

} // namespace veltrane
