#pragma once

#include "base/clock.h"
#include "dns/mxresolver.h"
#include "mail/mainmodel.h"
#include "mail/mainwindowview.h"
#include "rules/blacklist.h"
#include "rules/domaincheck.h"
#include "rules/spamsenderchecks.h"
#include "ui/qtmessageboxes.h"
#include "ui/timerpool.h"

#include <QAbstractButton>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeView>
#include <set>

class QMenu;
class QAction;

namespace veltrane {

class MessageListModel;
class TfrmRetrieving;
class TfrmSplash;
struct GeneralSettings;
class MailboxAccounts;
struct RuleBook;

// A flat button with a picture above its word-wrapped caption; the picture may change with the focus.
class PictureButton final : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(const QString& caption, QSize size, QWidget* parent);
    void setPictures(const QIcon& normal, const QIcon& focused);
    void setPictures(const QIcon& both) { setPictures(both, both); }
    QSize sizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QSize size_;
    QIcon normal_;
    QIcon focused_;
    bool hovered_ = false;
};

// The main window: the message list with its mark pictures, the command buttons, the status bar,
// the tray icon and the timers. A thin view over MainModel, which runs the mail sequences.
class TfrmMain final : public QMainWindow, public MainWindowView {
    Q_OBJECT
public:
    // What the window works with but does not own: the rules (the spam settings window's), the
    // general settings and accounts (the general settings window's), the clock and the boxes.
    struct Parts {
        RuleBook& rules;
        GeneralSettings& settings;
        MailboxAccounts& accounts;
        const Clock& clock;
        MessageBoxes& boxes;
    };
    struct Options {
        // Without a tray to go to, tray mode keeps the window reachable (minimised, not hidden).
        bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    };
    // Who pressed Exit: the tray menu's "Exit" ends the program at once.
    enum class ExitSender { Button, Tray, Shortcut };

    // Runs the start-up of the window: start-up values, timers, blacklist, the current mailbox's
    // account, the clean-up of body files, captions; it shows itself unless in tray mode. The
    // splash window, if given, is taken over and removed by its trigger.
    TfrmMain(const Parts& parts, TfrmSplash* splash, const Options& options);
    ~TfrmMain() override;

    void setProgressWindow(TfrmRetrieving* progress);
    MainModel& model() { return model_; }
    TimerPool& timerPool() { return timerPool_; }
    bool exitInCancelForm() const { return exitCancelForm_; }
    bool trayIconVisible() const { return trayIcon->isVisible(); }
    bool trayAnimated() const { return trayAnimation_.isActive(); }
    QString statusText() const;
    TfrmSplash* splash() const;

    // The commands of the window.
    void btListClick();
    void btDeleteClick();
    void btExitClick(ExitSender sender = ExitSender::Button);
    void btMarkClick();
    void ResetButtonClick();
    void btRemarkClick();
    void btLaunchClick();
    void btGeneralClick();
    void btSpamSetupClick();
    void btStatsClick();
    void btAboutClick();
    void btHelpClick();
    void NadaSelected();
    // A later start of the program asked for this window.
    void bringToFront();
    // Keyboard shortcuts on a released key; true when the key was one of them.
    bool FormKeyUp(const QKeyEvent& event);
    void UpdateAutomaticCaptions(bool on, int minutes);
    // The tray's "Enable automatic check" (true) and "Disable automatic check" (false).
    void EnableAutomatic1Click(bool on);

    // MainWindowView
    MessageBoxes& messageBoxes() override { return boxes_; }
    void setStatusText(const std::string& text) override;
    void setCaption(const std::string& caption) override;
    void showProgress(const std::string& title, const std::string& server, const std::string& userName) override;
    void hideProgress() override;
    void setProgressLabel(const std::string& text) override;
    void setProgressBar(bool visible, int maximum, int position) override;
    void setButtonsBusy() override;
    void setButtonsReady(bool listHasRows) override;
    void setExitButtonCancelForm(bool cancelForm, bool sysTrayMode) override;
    void setCheckButtonImage(bool listEmpty) override;
    void setTrayIconHammer() override;
    void setTrayMenuEnabled(bool enabled) override;
    void listCleared() override;
    void rowAppended(int row) override;
    void rowsChanged() override;
    bool checkTriggerEnabled() const override;
    void setCheckTriggerEnabled(bool enabled) override;
    std::optional<int> chooseMailbox(const std::vector<std::string>& entries, int preselected) override;
    void openGeneralSettings() override;
    bool mainWindowVisible() const override;
    void hideToTray() override;
    void closeMainWindow() override;
    void stopAlarm() override;
    // The rows selected in the list, in list order.
    std::vector<int> selectedRows() const override;
    void showTextWindow(TextWindowMode mode, const std::string& text) override;
    void setTitleLabel(const std::string& text) override;
    void setTrayHint(const std::string& text) override;
    void setAutomaticMenuChecks(bool automatic) override;
    void setTrayAnimated(bool animated) override;

    // The controls, by the names the rest of the program knows them by.
    QFrame* Bevel1;
    QLabel* lblTitle;
    QLabel* Label1;
    QLabel* lblSlogan;
    PictureButton* btList;
    PictureButton* btOptions;
    PictureButton* btExit;
    PictureButton* btMark;
    PictureButton* btDelete;
    PictureButton* btRemark;
    PictureButton* btResetAll;
    PictureButton* btLaunch;
    QFrame* popup1;
    PictureButton* btGeneral;
    PictureButton* btSpamSetup;
    PictureButton* btStats;
    PictureButton* btAbout;
    PictureButton* btHelp;
    QTreeView* ListView1;
    MessageListModel* listModel;
    QMenu* PopupMenu1;
    QLabel* statusPanel1;
    QLabel* statusPanel2;
    QSystemTrayIcon* trayIcon;
    QMenu* popTray;
    QAction* EnableAutomatic1;
    QAction* DisableAutomatic1;
    QAction* Exit1;

    TimerPool::Trigger CheckTrigger = -1;
    TimerPool::Trigger SplashTrigger = -1;

signals:
    // The window was closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void buildTitlePanel(QWidget* panel);
    void buildOptionsPanel();
    void buildList(QWidget* parent);
    void buildTray();
    void layoutCentral();
    void TimerPoolAllTriggers(TimerPool::Trigger trigger);
    void tmCheckForMailTimer();
    void removeSplash();
    void hideSplash();
    void progressCancelClick();
    void showOptionsPanel();
    bool busy();
    void setActionButtonsVisible(bool visible);

    Parts parts_;
    Options options_;
    BoxesBefore boxes_;
    lbKnown blacklist_;
    MxResolver resolver_;
    DomainCheck domains_;
    SpamSenderChecks senderChecks_;
    MainModel model_;
    veltrane::TimerPool timerPool_;
    QPointer<TfrmSplash> splash_;
    QPointer<TfrmRetrieving> progress_;
    QWidget* titlePanel_ = nullptr;
    bool exitCancelForm_ = false;
    bool commandRunning_ = false; // a command that runs the classification (lookups wait) is under way
    std::set<int> chordedKeys_;   // keys pressed together with a modifier: their release is no shortcut
    QTimer trayAnimation_;
    int trayFrame_ = 0;
};

} // namespace veltrane
