#include "ui/optRetrieve.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace veltrane {

MailAnimation::MailAnimation(QWidget* parent) : QWidget(parent) {
    setFixedSize(120, 28);
    timer_.setInterval(FrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % Frames;
        update();
    });
}

void MailAnimation::start() {
    frame_ = 0;
    timer_.start();
    update();
}

void MailAnimation::stop() {
    timer_.stop();
}

void MailAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int travel = width() - 26;
    const QRectF envelope(1 + travel * frame_ / (Frames - 1.0), 5, 24, 17);
    p.setPen(QPen(QColor(0x34, 0x49, 0x5e), 1.4));
    p.setBrush(QColor(0xfd, 0xfd, 0xf6));
    p.drawRoundedRect(envelope, 2, 2);
    p.drawPolyline(QPolygonF(
        {envelope.topLeft() + QPointF(1, 1), envelope.center() + QPointF(0, 1), envelope.topRight() + QPointF(-1, 1)}));
}

TfrmRetrieving::TfrmRetrieving(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmRetrieving");
    setWindowTitle(QStringLiteral("Retrieving ..."));
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    auto* lines = new QGridLayout;
    lines->addWidget(new QLabel(QStringLiteral("Server:")), 0, 0);
    lblServer = new QLabel;
    lines->addWidget(lblServer, 0, 1);
    lines->addWidget(new QLabel(QStringLiteral("Mailbox:")), 1, 0);
    lblMailbox = new QLabel;
    lines->addWidget(lblMailbox, 1, 1);
    lines->setColumnStretch(1, 1);
    layout->addLayout(lines);

    lblTitle = new QLabel;
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    layout->addWidget(lblTitle);
    lblMsg = new QLabel;
    layout->addWidget(lblMsg);
    progbar = new QProgressBar;
    progbar->setTextVisible(false);
    layout->addWidget(progbar);
    anMail = new MailAnimation;
    layout->addWidget(anMail, 0, Qt::AlignHCenter);
    btCancel = new QPushButton(QStringLiteral("Click to cancel"));
    btCancel->setAutoDefault(false);
    layout->addWidget(btCancel, 0, Qt::AlignHCenter);
    connect(btCancel, &QPushButton::clicked, this, &TfrmRetrieving::cancelClicked);

    setMinimumWidth(320);
}

void TfrmRetrieving::showFor(const QString& title, const QString& server, const QString& mailbox) {
    lblMsg->clear();
    lblServer->setText(server);
    lblMailbox->setText(mailbox);
    lblTitle->setText(title);
    anMail->start();
    progbar->hide();
    show();
    raise();
}

void TfrmRetrieving::setMessage(const QString& text) {
    lblMsg->setText(text);
}

void TfrmRetrieving::setBar(bool visible, int maximum, int position) {
    if (visible) {
        progbar->setMaximum(maximum);
        progbar->setValue(position);
    }
    progbar->setVisible(visible);
}

void TfrmRetrieving::hideEvent(QHideEvent* event) {
    anMail->stop();
    QDialog::hideEvent(event);
}

void TfrmRetrieving::closeEvent(QCloseEvent* event) {
    // The window goes away with its operation; closing it asks for that.
    event->ignore();
    emit cancelClicked();
}

void TfrmRetrieving::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // Esc would hide the window and leave the operation running unseen
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace veltrane
