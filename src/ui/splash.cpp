#include "ui/splash.h"

#include "ui/pictures.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>

namespace veltrane {

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("frmSplash");
    setFixedSize(407, 319);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);

    auto* title = new QLabel(QStringLiteral("Veltrane"), this);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(41);
    font.setBold(true);
    title->setFont(font);
    title->setStyleSheet(QStringLiteral("color: blue"));
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(0, 10, width(), 56);

    const QRect pictureArea(83, 78, 240, 160);
    image1_ = new QLabel(this);
    image1_->setPixmap(pictureAt(QStringLiteral(":/veltrane/splash/splash1.svg"), pictureArea.size()));
    image1_->setGeometry(pictureArea);
    image2_ = new QLabel(this);
    image2_->setPixmap(pictureAt(QStringLiteral(":/veltrane/splash/splash2.svg"), pictureArea.size()));
    image2_->setGeometry(pictureArea);
    image2_->hide();

    auto* bottom = new QLabel(QStringLiteral("Keeps junk mail off your POP3 mailboxes - loading your rules ..."), this);
    QFont small = bottom->font();
    small.setPixelSize(11);
    bottom->setFont(small);
    bottom->setAlignment(Qt::AlignCenter);
    bottom->setGeometry(0, height() - 34, width(), 24);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmSplash::showSecondPicture() {
    image1_->hide();
    image2_->show();
    repaint();
}

} // namespace veltrane
