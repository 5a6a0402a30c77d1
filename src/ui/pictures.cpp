#include "ui/pictures.h"

#include "message/markstate.h"

#include <QPainter>
#include <QSvgRenderer>

static void initVeltraneResources() {
    Q_INIT_RESOURCE(veltrane);
}

namespace veltrane {

void initPictures() {
    initVeltraneResources();
}

const std::vector<QIcon>& MarkIcons() {
    static const std::vector<QIcon> icons = [] {
        initPictures();
        std::vector<QIcon> list;
        for (int i = 0; i < Mark::IconCount; ++i)
            list.emplace_back(QStringLiteral(":/veltrane/marks/B%1.svg").arg(i));
        return list;
    }();
    return icons;
}

QIcon picture(const QString& name) {
    initPictures();
    return QIcon(QStringLiteral(":/veltrane/icons/%1.svg").arg(name));
}

QPixmap pictureAt(const QString& path, QSize size) {
    initPictures();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

} // namespace veltrane
