#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace veltrane {

// A small envelope that travels across, ten frames 300 ms apart, while the progress window shows.
class MailAnimation final : public QWidget {
    Q_OBJECT
public:
    explicit MailAnimation(QWidget* parent = nullptr);
    void start();
    void stop();
    bool running() const { return timer_.isActive(); }
    static constexpr int Frames = 10;
    static constexpr int FrameMs = 300;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

// The progress window of long operations (check, deletion, body download): not modal, created at
// start and shown while an operation runs.
class TfrmRetrieving final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRetrieving(QWidget* parent = nullptr);

    // Each showing empties the message label, shows server and mailbox, sets the title, starts
    // the animation and hides the bar.
    void showFor(const QString& title, const QString& server, const QString& mailbox);
    void setMessage(const QString& text);
    void setBar(bool visible, int maximum, int position);

    QLabel* lblServer;
    QLabel* lblMailbox;
    QLabel* lblTitle;
    QLabel* lblMsg;
    QProgressBar* progbar;
    MailAnimation* anMail;
    QPushButton* btCancel;

signals:
    // "Click to cancel", also when the window is closed.
    void cancelClicked();

protected:
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace veltrane
