#include "ui/qtmessageboxes.h"

#include "ui/uitext.h"

#include <QMessageBox>

namespace veltrane {

namespace {
const QString Title = QStringLiteral("Veltrane");
}

void QtMessageBoxes::error(const std::string& text) {
    QMessageBox::critical(parent_, Title, shownText(text));
}

void QtMessageBoxes::warning(const std::string& text) {
    QMessageBox::warning(parent_, Title, shownText(text));
}

void QtMessageBoxes::information(const std::string& text) {
    QMessageBox::information(parent_, Title, shownText(text));
}

bool QtMessageBoxes::confirm(const std::string& text) {
    return QMessageBox::question(parent_, Title, shownText(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

} // namespace veltrane
