#include "base/atomicfile.h"

#include <QFile>
#include <QSaveFile>

namespace veltrane {

Status writeFileAtomically(const QString& path, const std::string& bytes) {
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
