#include "ui/vheader.h"

#include <QPushButton>

namespace veltrane {

QString TfrmViewHeader::titleFor(Mode mode) {
    switch (mode) {
    case Mode::Headers:
        return QStringLiteral("Contents of selected e-mail headers");
    case Mode::Reasons:
        return QStringLiteral("Reasons that e-mail is marked or not marked");
    case Mode::Body:
        return QStringLiteral("Contents of e-mail");
    }
    return {};
}

TfrmViewHeader::TfrmViewHeader(Mode mode, const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmViewHeader");
    setWindowTitle(QStringLiteral("View Selected Headers"));
    setFixedSize(612, 390);

    lblTitle = new QLabel(titleFor(mode), this);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(24);
    lblTitle->setFont(font);
    lblTitle->setStyleSheet(QStringLiteral("color: navy"));
    lblTitle->setGeometry(7, 6, 598, 34);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(7, 44, 598, 305);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setPlainText(text);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(612 / 2 - 40, 356, 80, 28);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

} // namespace veltrane
