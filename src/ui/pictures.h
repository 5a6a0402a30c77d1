#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <vector>

namespace veltrane {

// Makes the pictures compiled into the program reachable (they live in a static library).
void initPictures();

// The fifteen mark icons, index = MarkState (0 to 14), shared by the message list and the rule grids.
const std::vector<QIcon>& MarkIcons();

// One of our button, tray and splash pictures by its file name without extension ("hammer", "stop").
QIcon picture(const QString& name);
// The same drawn at a given size (the splash pictures).
QPixmap pictureAt(const QString& path, QSize size);

} // namespace veltrane
