#include "ui/rmmain.h"

#include "base/datafolder.h"
#include "message/markstate.h"
#include "rules/rulebook.h"
#include "settings/generalsettings.h"
#include "settings/mailboxaccounts.h"
#include "ui/messagelistmodel.h"
#include "ui/optRetrieve.h"
#include "ui/pictures.h"
#include "ui/splash.h"
#include "ui/uitext.h"
#include "ui/vheader.h"
#include "ui/which.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace veltrane {

namespace {

// The maker's name and web address, shown in the status bar until the first status text.
const QString MakerText = QStringLiteral("Quorvell - www.quorvell.example");
const QString SloganText = QStringLiteral("Veltrane - eliminate junk e-mail!");
const QString HelpPanelText = QStringLiteral("Right click for more options, double click to mark");

constexpr int TitlePanelHeight = 113;
constexpr QSize RowButton{51, 75};
constexpr QSize PanelButton{54, 64};

QFont timesFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString minutesText(int minutes) {
    return QStringLiteral(" - next e-mail check in %1 minute%2").arg(minutes).arg(minutes == 1 ? "" : "s");
}

} // namespace

// -- PictureButton ---------------------------------------------------------------------------

PictureButton::PictureButton(const QString& caption, QSize size, QWidget* parent)
    : QAbstractButton(parent), size_(size) {
    setText(caption); // the ampersand's letter becomes the button's Alt shortcut
    setFixedSize(size);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void PictureButton::setPictures(const QIcon& normal, const QIcon& focused) {
    normal_ = normal;
    focused_ = focused;
    update();
}

void PictureButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = rect();
    const bool down = isDown();
    if ((hovered_ && isEnabled()) || down) {
        // Flat until the pointer comes near, like a toolbar button.
        QStyleOptionButton option;
        option.initFrom(this);
        option.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        option.rect = area;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p, this);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = area.adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
    const int pictureSize = 28; // three lines of caption fit below it
    const QIcon& icon = hasFocus() ? focused_ : normal_;
    const QRect pictureRect((area.width() - pictureSize) / 2, 3 + (down ? 1 : 0), pictureSize, pictureSize);
    icon.paint(&p, pictureRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const QRect textRect(2, pictureRect.bottom() + 2, area.width() - 4, area.height() - pictureRect.bottom() - 3);
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    style()->drawItemText(&p, textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic,
                          palette(), isEnabled(), text(), QPalette::ButtonText);
}

// -- TfrmMain --------------------------------------------------------------------------------

TfrmMain::TfrmMain(const Parts& parts, TfrmSplash* splash, const Options& options)
    : parts_(parts), options_(options), boxes_(parts.boxes, [this] { hideSplash(); }),
      domains_(resolver_, parts.rules.options), senderChecks_(blacklist_, domains_),
      model_(*this, parts.rules, parts.settings, parts.accounts, parts.clock), splash_(splash) {
    setObjectName("frmMain");
    setWindowTitle(QStringLiteral("Veltrane"));
    model_.classifier().setSenderChecks(&senderChecks_);

    auto* central = new QWidget(this);
    central->setMinimumSize(0, 0);
    titlePanel_ = new QWidget(central);
    buildTitlePanel(titlePanel_);
    buildList(central);
    setCentralWidget(central);
    buildOptionsPanel();

    statusPanel1 = new QLabel(HelpPanelText);
    statusPanel1->setFixedWidth(300);
    statusPanel2 = new QLabel(MakerText);
    statusPanel2->setMinimumWidth(0);
    statusBar()->addWidget(statusPanel1);
    statusBar()->addWidget(statusPanel2, 1);
    statusBar()->setSizeGripEnabled(true);

    buildTray();
    trayAnimation_.setInterval(500);
    connect(&trayAnimation_, &QTimer::timeout, this, [this] {
        trayFrame_ = 1 - trayFrame_;
        trayIcon->setIcon(picture(trayFrame_ == 0 ? QStringLiteral("anim1") : QStringLiteral("anim2")));
    });

    // The window cannot be made smaller than this inside its frame.
    setMinimumSize(476, 70);
    resize(650, 435);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - frameGeometry().center());

    qApp->installEventFilter(this); // keys reach the window before its controls
    FormCreate();
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    // The list and its model read the entries, which go before the child widgets do; and the
    // client's last events must not reach a half-destroyed window.
    delete ListView1;
    delete listModel;
    model_.client().disconnect();
    if (splash_)
        delete splash_.data();
}

void TfrmMain::buildTitlePanel(QWidget* panel) {
    Bevel1 = new QFrame(panel);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, width(), 2);

    lblTitle = new QLabel(QStringLiteral("Veltrane"), panel);
    lblTitle->setFont(timesFont(27, true));
    lblTitle->setStyleSheet(QStringLiteral("color: navy"));
    lblTitle->move(4, 2);
    lblTitle->adjustSize();
    Label1 = new QLabel(QStringLiteral("TM"), panel);
    QFont small = Label1->font();
    small.setPixelSize(9);
    Label1->setFont(small);
    Label1->adjustSize();
    Label1->move(lblTitle->geometry().right() + 2, 6);

    struct Row {
        PictureButton*& button;
        const char* caption;
        int left;
        const char* picture;
    };
    const Row row[] = {
        {btList, "&Check e-mail", 3, "down"},
        {btOptions, "&Settings && Stats", 57, "options"},
        {btExit, "E&xit", 111, "door"},
        {btMark, "&Mark msgs", 165, "mark"},
        {btDelete, "&Delete marked msgs", 219, "delete"},
        {btRemark, "&Auto mark msgs", 273, "remark"},
        {btResetAll, "&Reset all marks", 327, "reset"},
        {btLaunch, "&Launch e-mail program", 381, "launch"},
    };
    const int top = TitlePanelHeight - RowButton.height() - 3;
    for (const Row& r : row) {
        r.button = new PictureButton(QString::fromUtf8(r.caption), RowButton, panel);
        r.button->move(r.left, top);
        r.button->setPictures(picture(QString::fromUtf8(r.picture)));
    }
    btList->setObjectName("btList");
    btList->setWhatsThis(QStringLiteral("help:3010"));
    btExit->setPictures(picture("door"), picture("bye"));

    lblSlogan = new QLabel(SloganText, panel);
    lblSlogan->setFont(timesFont(17, true));
    lblSlogan->adjustSize();
    lblSlogan->move(165, top + (RowButton.height() - lblSlogan->height()) / 2);
    setActionButtonsVisible(false);

    connect(btList, &QAbstractButton::clicked, this, &TfrmMain::btListClick);
    connect(btOptions, &QAbstractButton::clicked, this, &TfrmMain::showOptionsPanel);
    connect(btExit, &QAbstractButton::clicked, this, [this] { btExitClick(ExitSender::Button); });
    connect(btMark, &QAbstractButton::clicked, this, &TfrmMain::btMarkClick);
    connect(btDelete, &QAbstractButton::clicked, this, &TfrmMain::btDeleteClick);
    connect(btRemark, &QAbstractButton::clicked, this, &TfrmMain::btRemarkClick);
    connect(btResetAll, &QAbstractButton::clicked, this, &TfrmMain::ResetButtonClick);
    connect(btLaunch, &QAbstractButton::clicked, this, &TfrmMain::btLaunchClick);
}

void TfrmMain::buildOptionsPanel() {
    popup1 = new QFrame(this, Qt::Popup);
    popup1->setFrameShape(QFrame::StyledPanel);
    struct Item {
        PictureButton*& button;
        const char* caption;
        const char* picture;
        void (TfrmMain::*command)();
    };
    const Item items[] = {
        {btGeneral, "&General settings", "general", &TfrmMain::btGeneralClick},
        {btSpamSetup, "S&pam settings", "spam", &TfrmMain::btSpamSetupClick},
        {btStats, "S&tats", "stats", &TfrmMain::btStatsClick},
        {btAbout, "A&bout", "about", &TfrmMain::btAboutClick},
        {btHelp, "&Help", "help", &TfrmMain::btHelpClick},
    };
    int left = 2;
    for (const Item& item : items) {
        item.button = new PictureButton(QString::fromUtf8(item.caption), PanelButton, popup1);
        item.button->move(left, 2);
        item.button->setPictures(picture(QString::fromUtf8(item.picture)));
        left += PanelButton.width();
        const auto command = item.command;
        connect(item.button, &QAbstractButton::clicked, this, [this, command] {
            popup1->hide();
            (this->*command)();
        });
    }
    popup1->resize(btHelp->geometry().right() + 5, PanelButton.height() + 4);
}

void TfrmMain::buildList(QWidget* parent) {
    ListView1 = new QTreeView(parent);
    ListView1->setObjectName("ListView1");
    listModel = new MessageListModel(model_.entries(), this);
    ListView1->setModel(listModel);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSortingEnabled(false);
    ListView1->header()->setSectionsClickable(false); // the list keeps the server's order
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(true); // the dates get what the window has to spare
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setIconSize(QSize(16, 16));
    ListView1->setColumnWidth(MessageListModel::Subject, 220);
    ListView1->setColumnWidth(MessageListModel::Sender, 200);
    ListView1->setColumnWidth(MessageListModel::Size, 60);
    ListView1->setColumnWidth(MessageListModel::Date, 130);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->setMinimumSize(0, 0);

    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { btMarkClick(); });
    connect(ListView1, &QAbstractItemView::clicked, this, [this] { stopAlarm(); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(QStringLiteral("Why was this e-mail marked?"), this, [this] {
        if (!busy())
            model_.Why1Click();
    });
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(QStringLiteral("Add selected sender(s) to exceptions list"));
    PopupMenu1->addAction(QStringLiteral("Add selected message(s) to spam list"));
    PopupMenu1->addSeparator();
    // Reading the stored headers needs no server: it may run during a check.
    PopupMenu1->addAction(QStringLiteral("View selected message(s) headers"), this,
                          [this] { model_.ViewHeader1Click(); });
    PopupMenu1->addAction(QStringLiteral("View body of one message"), this, [this] {
        if (!busy())
            model_.ViewMessages1Click();
    });
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });
}

void TfrmMain::buildTray() {
    trayIcon = new QSystemTrayIcon(picture("hammer"), this);
    trayIcon->setToolTip(QStringLiteral("Veltrane (right click)"));
    popTray = new QMenu(this);
    popTray->addAction(QStringLiteral("Check e-mail for spam"), this, [this] {
        // Show1Click: a check from the tray is the user's own, with the window in view.
        show();
        model_.AutomaticRun = false;
        btListClick();
        if (parts_.settings.automatic)
            setCheckTriggerEnabled(true);
    });
    popTray->addAction(QStringLiteral("Launch e-mail program"), this, &TfrmMain::btLaunchClick);
    popTray->addSeparator();
    popTray->addAction(QStringLiteral("Main screen"), this, &TfrmMain::bringToFront);
    QMenu* settingsMenu = popTray->addMenu(QStringLiteral("Settings"));
    settingsMenu->addAction(QStringLiteral("Spam"), this, &TfrmMain::btSpamSetupClick);
    settingsMenu->addAction(QStringLiteral("General"), this, &TfrmMain::btGeneralClick);
    settingsMenu->addAction(QStringLiteral("View log file"));
    popTray->addAction(QStringLiteral("Statistics"), this, &TfrmMain::btStatsClick);
    popTray->addSeparator();
    auto* modes = new QActionGroup(this);
    EnableAutomatic1 = popTray->addAction(QStringLiteral("Enable automatic check"));
    DisableAutomatic1 = popTray->addAction(QStringLiteral("Disable automatic check"));
    for (QAction* a : {EnableAutomatic1, DisableAutomatic1}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    DisableAutomatic1->setChecked(true);
    connect(EnableAutomatic1, &QAction::triggered, this, [this] { EnableAutomatic1Click(true); });
    connect(DisableAutomatic1, &QAction::triggered, this, [this] { EnableAutomatic1Click(false); });
    popTray->addSeparator();
    QMenu* helpMenu = popTray->addMenu(QStringLiteral("Help/Info"));
    helpMenu->addAction(QStringLiteral("Help"), this, &TfrmMain::btHelpClick);
    helpMenu->addAction(QStringLiteral("About"), this, &TfrmMain::btAboutClick);
    popTray->addSeparator();
    Exit1 = popTray->addAction(QStringLiteral("Exit"), this, [this] { btExitClick(ExitSender::Tray); });
    connect(popTray, &QMenu::aboutToShow, this, [this] { stopAlarm(); });
    trayIcon->setContextMenu(popTray);
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            bringToFront();
    });
}

// Start-up of the window.
void TfrmMain::FormCreate() {
    const QString folder = dataFolder();
    (void)QDir::setCurrent(folder); // a failure changes nothing that matters

    StartupValues start;
    if (Status read = readStartupValues(start); !read.ok())
        boxes_.error(read.error()); // the values read before the faulty one are kept, the rest default
    model_.SysTrayMode = start.sysTray;
    model_.MinutesLeft = start.minutes;
    model_.CurrentMailbox = start.which >= 1 && start.which <= MailboxAccounts::Count ? start.which : 1;

    CheckTrigger = timerPool_.add(60000, true);
    SplashTrigger = timerPool_.add(1500, true);
    connect(&timerPool_, &TimerPool::OnAllTriggers, this, &TfrmMain::TimerPoolAllTriggers);

    // There is no dial-up link on this system: the client always goes straight to the network.
    model_.AutomaticRun = false;
    setAutomaticMenuChecks(start.automatic);
    if (model_.SysTrayMode)
        trayIcon->show();
    else
        trayIcon->hide();
    model_.Checking = false;

    if (Status loaded = LoadUpKnownList(blacklist_); !loaded.ok())
        boxes_.error(loaded.error());
    if (Status applied = model_.applyMailbox(model_.CurrentMailbox); !applied.ok())
        boxes_.error(applied.error());

    MainModel::CleanUpEMLFiles(); // message texts downloaded for viewing by an earlier run

    if (splash_) {
        splash_->showSecondPicture();
        timerPool_.setEnabled(SplashTrigger, true);
    } else {
        timerPool_.setEnabled(SplashTrigger, false);
    }

    UpdateAutomaticCaptions(start.automatic, model_.MinutesLeft);
    if (model_.SysTrayMode)
        btExit->setText(QStringLiteral("&Hide"));
    if (!model_.SysTrayMode || !options_.trayAvailable) {
        // Shown once start-up is through; in tray mode without a tray, minimised but within reach.
        QTimer::singleShot(0, this, [this] { model_.SysTrayMode ? showMinimized() : show(); });
    }
    if (start.automatic) {
        setCheckTriggerEnabled(true);
        setTrayAnimated(true);
    }
}

void TfrmMain::setProgressWindow(TfrmRetrieving* progress) {
    progress_ = progress;
    if (progress_)
        connect(progress_, &TfrmRetrieving::cancelClicked, this, &TfrmMain::progressCancelClick);
}

void TfrmMain::showEvent(QShowEvent* event) {
    MarkIcons(); // the fifteen state pictures, loaded once
    popup1->resize(btHelp->geometry().right() + 5, popup1->height());
    lblSlogan->setText(SloganText);
    QMainWindow::showEvent(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    Pop3Client& client = model_.client();
    if (client.busy())
        client.Cancel();
    else if (client.Connected())
        (void)client.Disconnect(); // QUIT: the server keeps what was not deleted
    event->accept();
    if (progress_)
        progress_->hide();
    emit closed();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutCentral();
}

void TfrmMain::layoutCentral() {
    QWidget* central = centralWidget();
    if (!central)
        return;
    const int w = central->width();
    titlePanel_->setGeometry(0, 0, w, TitlePanelHeight);
    Bevel1->setGeometry(0, 0, w, 2); // FormResize: the line runs across the whole window
    ListView1->setGeometry(0, TitlePanelHeight, w, std::max(0, central->height() - TitlePanelHeight));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyRelease || type == QEvent::KeyPress || type == QEvent::ShortcutOverride) &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        constexpr Qt::KeyboardModifiers chord = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        // A press taken by a shortcut (Ctrl+C copies) arrives only as its override request.
        if (type != QEvent::KeyRelease) {
            if (key->modifiers() & chord)
                chordedKeys_.insert(key->key());
            return false;
        }
        if (watched == ListView1 || watched == ListView1->viewport())
            stopAlarm(); // ListView1KeyUp
        if (FormKeyUp(*key))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmMain::FormKeyUp(const QKeyEvent& event) {
    if (event.isAutoRepeat())
        return false;
    // Ctrl+C released Ctrl first is still a copy, not a check. The release is taken here, or its
    // way up to the window would find the key no longer noted.
    if (chordedKeys_.erase(event.key()) > 0)
        return true;
    if (event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))
        return false;
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return false;
    const int key = event.key();
    if (key == Qt::Key_X) {
        btExitClick(ExitSender::Shortcut);
        return true;
    }
    void (TfrmMain::*command)() = nullptr;
    switch (key) {
    case Qt::Key_C:
        command = &TfrmMain::btListClick;
        break;
    case Qt::Key_M:
        command = &TfrmMain::btMarkClick;
        break;
    case Qt::Key_D:
        command = &TfrmMain::btDeleteClick;
        break;
    case Qt::Key_L:
        command = &TfrmMain::btLaunchClick;
        break;
    case Qt::Key_R:
        command = &TfrmMain::ResetButtonClick;
        break;
    case Qt::Key_A:
        command = &TfrmMain::btRemarkClick;
        break;
    default:
        return false;
    }
    if (!busy())
        (this->*command)();
    return true;
}

// Checking is not asked: "Click to cancel" leaves it set, and a new check must still be possible.
bool TfrmMain::busy() {
    return exitCancelForm_ || commandRunning_ || model_.Deleting || model_.client().busy();
}

// -- Commands --------------------------------------------------------------------------------

void TfrmMain::btListClick() {
    if (busy())
        return;
    model_.btListClick();
}

void TfrmMain::btDeleteClick() {
    if (busy())
        return;
    model_.btDeleteClick();
}

void TfrmMain::btExitClick(ExitSender sender) {
    stopAlarm();
    if (exitCancelForm_) {
        model_.cancelClick();
        return;
    }
    model_.log().CloseLogFile();
    if (sender == ExitSender::Tray) {
        close(); // also when the window is hidden: the program ends at once
    } else if (!model_.SysTrayMode) {
        close();
    } else {
        hideToTray();
    }
}

void TfrmMain::btMarkClick() {
    stopAlarm();
    if (commandRunning_)
        return;
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        NadaSelected();
        return;
    }
    auto& entries = model_.entries();
    for (int row : rows) {
        MarkState& mark = entries[static_cast<size_t>(row)].mark;
        mark = isMarkedForDeletion(mark) ? Mark::None : Mark::Delete;
    }
    listModel->rowsChanged();
    model_.ShowTotalCount();
}

void TfrmMain::ResetButtonClick() {
    if (commandRunning_)
        return;
    for (MessageEntry& e : model_.entries())
        e.mark = Mark::None;
    listModel->rowsChanged();
    model_.ShowTotalCount();
}

void TfrmMain::btRemarkClick() {
    stopAlarm();
    if (busy())
        return;
    commandRunning_ = true;
    for (MessageEntry& e : model_.entries())
        e.mark = Mark::None;
    model_.MarkForDeletion(-1); // the domain check may wait for the network here
    commandRunning_ = false;
    const auto& entries = model_.entries();
    const bool anyMatch = std::any_of(entries.begin(), entries.end(), [](const MessageEntry& e) {
        return e.mark == Mark::Delete || e.mark == Mark::Question || e.mark == Mark::KnownSpammer;
    });
    if (!anyMatch)
        boxes_.information("None of the messages matched any of the spam criteria.");
    model_.ShowTotalCount();
}

void TfrmMain::btLaunchClick() {
    if (busy())
        return;
    model_.btLaunchClick();
}

// The windows these open come with their own parts of the program.
void TfrmMain::btGeneralClick() {
    stopAlarm();
}
void TfrmMain::btSpamSetupClick() {
    stopAlarm();
}
void TfrmMain::btStatsClick() {}
void TfrmMain::btAboutClick() {
    stopAlarm();
}
void TfrmMain::btHelpClick() {
    stopAlarm();
}

void TfrmMain::NadaSelected() {
    model_.NadaSelected();
}

void TfrmMain::bringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TfrmMain::progressCancelClick() {
    // "Click to cancel": as the exit button's Cancel, but the alarm and Checking are left alone.
    model_.client().Cancel();
    if (model_.Checking) {
        model_.entries().clear();
        listCleared();
    }
    model_.enableAllButtons();
    hideProgress();
}

void TfrmMain::showOptionsPanel() {
    popup1->move(btOptions->mapToGlobal(QPoint(0, btOptions->height())));
    popup1->show();
}

void TfrmMain::UpdateAutomaticCaptions(bool on, int minutes) {
    model_.UpdateAutomaticCaptions(on, minutes);
}

void TfrmMain::EnableAutomatic1Click(bool on) {
    GeneralSettings& settings = parts_.settings;
    if (Status written = writeAutomaticMode(settings, on); !written.ok())
        boxes_.error(written.error());
    if (!on)
        model_.MinutesLeft = settings.minutes;
    setAutomaticMenuChecks(on);
    UpdateAutomaticCaptions(settings.automatic, settings.minutes);
    model_.log().WriteAutomaticMode(on);
}

void TfrmMain::TimerPoolAllTriggers(TimerPool::Trigger trigger) {
    if (trigger == SplashTrigger)
        removeSplash();
    else if (trigger == CheckTrigger)
        tmCheckForMailTimer();
}

void TfrmMain::tmCheckForMailTimer() {
    // The countdown of the automatic check; the run over the mailboxes is not part of this window yet.
    model_.MinutesLeft -= 1;
    if (model_.MinutesLeft > 0)
        setCaption(typedText(QStringLiteral("Veltrane") + minutesText(model_.MinutesLeft)));
}

void TfrmMain::removeSplash() {
    timerPool_.setEnabled(SplashTrigger, false);
    if (splash_) {
        splash_->hide();
        splash_->deleteLater();
        splash_ = nullptr;
    }
}

void TfrmMain::hideSplash() {
    if (splash_)
        splash_->hide();
}

void TfrmMain::setActionButtonsVisible(bool visible) {
    for (PictureButton* b : {btMark, btDelete, btRemark, btResetAll, btLaunch})
        b->setVisible(visible);
    lblSlogan->setVisible(!visible);
}

// -- MainWindowView --------------------------------------------------------------------------

TfrmSplash* TfrmMain::splash() const {
    return splash_.data();
}

QString TfrmMain::statusText() const {
    return statusPanel2->text();
}

void TfrmMain::setStatusText(const std::string& text) {
    statusPanel2->setText(shownText(text));
}

void TfrmMain::setCaption(const std::string& caption) {
    setWindowTitle(shownText(caption));
}

void TfrmMain::showProgress(const std::string& title, const std::string& server, const std::string& userName) {
    if (progress_)
        progress_->showFor(shownText(title), shownText(server), shownText(userName));
}

void TfrmMain::hideProgress() {
    if (progress_)
        progress_->hide();
}

void TfrmMain::setProgressLabel(const std::string& text) {
    if (progress_)
        progress_->setMessage(shownText(text));
}

void TfrmMain::setProgressBar(bool visible, int maximum, int position) {
    if (progress_)
        progress_->setBar(visible, maximum, position);
}

void TfrmMain::setButtonsBusy() {
    btList->setEnabled(false);
    btOptions->setEnabled(false);
    setActionButtonsVisible(false);
}

void TfrmMain::setButtonsReady(bool listHasRows) {
    btList->setEnabled(true);
    btOptions->setEnabled(true);
    if (listHasRows)
        setActionButtonsVisible(true);
}

void TfrmMain::setExitButtonCancelForm(bool cancelForm, bool sysTrayMode) {
    exitCancelForm_ = cancelForm;
    if (cancelForm) {
        btExit->setText(QStringLiteral("Cancel"));
        Exit1->setText(QStringLiteral("Cancel"));
        btExit->setPictures(picture("stop"));
    } else {
        btExit->setText(sysTrayMode ? QStringLiteral("&Hide") : QStringLiteral("E&xit"));
        Exit1->setText(QStringLiteral("Exit"));
        btExit->setPictures(picture("door"), picture("bye"));
    }
}

void TfrmMain::setCheckButtonImage(bool listEmpty) {
    btList->setPictures(picture(listEmpty ? QStringLiteral("down") : QStringLiteral("up")));
}

void TfrmMain::setTrayIconHammer() {
    trayIcon->setIcon(picture("hammer"));
}

void TfrmMain::setTrayMenuEnabled(bool enabled) {
    popTray->setEnabled(enabled);
}

void TfrmMain::listCleared() {
    listModel->listCleared();
}

void TfrmMain::rowAppended(int row) {
    listModel->rowAppended(row);
}

void TfrmMain::rowsChanged() {
    listModel->rowsChanged();
}

bool TfrmMain::checkTriggerEnabled() const {
    return timerPool_.enabled(CheckTrigger);
}

void TfrmMain::setCheckTriggerEnabled(bool enabled) {
    timerPool_.setEnabled(CheckTrigger, enabled);
}

std::optional<int> TfrmMain::chooseMailbox(const std::vector<std::string>& entries, int preselected) {
    hideSplash();
    return TfrmWhichMailbox::choose(entries, preselected, this);
}

void TfrmMain::openGeneralSettings() {
    btGeneralClick();
}

bool TfrmMain::mainWindowVisible() const {
    return isVisible();
}

void TfrmMain::hideToTray() {
    if (options_.trayAvailable)
        hide();
    else
        showMinimized();
}

void TfrmMain::closeMainWindow() {
    close();
}

void TfrmMain::stopAlarm() {
    // No alarm sound plays yet: the automatic check that sounds it is not part of this window.
}

void TfrmMain::showTextWindow(TextWindowMode mode, const std::string& text) {
    const TfrmViewHeader::Mode shown = mode == TextWindowMode::Headers   ? TfrmViewHeader::Mode::Headers
                                       : mode == TextWindowMode::Reasons ? TfrmViewHeader::Mode::Reasons
                                                                         : TfrmViewHeader::Mode::Body;
    TfrmViewHeader window(shown, shownText(text), this);
    window.exec();
}

std::vector<int> TfrmMain::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfrmMain::setTitleLabel(const std::string& text) {
    lblTitle->setText(shownText(text));
    lblTitle->adjustSize();
    Label1->move(lblTitle->geometry().right() + 2, 6);
}

void TfrmMain::setTrayHint(const std::string& text) {
    trayIcon->setToolTip(shownText(text));
}

void TfrmMain::setAutomaticMenuChecks(bool automatic) {
    EnableAutomatic1->setChecked(automatic);
    DisableAutomatic1->setChecked(!automatic);
}

void TfrmMain::setTrayAnimated(bool animated) {
    if (animated) {
        if (!trayAnimation_.isActive())
            trayAnimation_.start();
    } else {
        trayAnimation_.stop();
        trayIcon->setIcon(picture("hammer"));
    }
}

} // namespace veltrane
