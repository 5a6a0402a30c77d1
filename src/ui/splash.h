#pragma once

#include <QLabel>
#include <QWidget>

namespace veltrane {

// The start-up picture: no frame, on top, centred; the first picture while the program loads,
// the second once the main window is ready.
class TfrmSplash final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);

    void showSecondPicture();
    bool secondPictureShown() const { return image2_->isVisible(); }

private:
    QLabel* image1_;
    QLabel* image2_;
};

} // namespace veltrane
