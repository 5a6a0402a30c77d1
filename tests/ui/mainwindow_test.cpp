#include "support/paramname.h"
#include "ui/messagelistmodel.h"
#include "ui/pictures.h"
#include "ui/splash.h"
#include "ui/uifixture.h"
#include "ui/vheader.h"
#include "ui/which.h"

#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>

namespace veltrane::test {
namespace {

const std::string NoUserName = "error: You need to enter your e-mail username in the settings.";
const std::string NothingSelected =
    "information: No messages were selected.  To select one message click on a subject.  To select multiple "
    "messages drag the mouse over the list of desired subjects.";

using MainWindowStart = MainWindowFixture;

TEST_F(MainWindowStart, WindowModeShowsTheWindowWithoutTrayIcon) {
    storeStartupValues(false, false, 10);
    open();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->trayIconVisible());
    EXPECT_EQ(window->btExit->text(), "E&xit");
    EXPECT_EQ(window->windowTitle(), "Veltrane");
    EXPECT_EQ(window->lblTitle->text(), "Veltrane");
    EXPECT_TRUE(window->DisableAutomatic1->isChecked());
    EXPECT_FALSE(window->trayAnimated());
    EXPECT_FALSE(window->checkTriggerEnabled());
    EXPECT_EQ(window->timerPool().interval(window->CheckTrigger), 60000);
    EXPECT_EQ(window->timerPool().interval(window->SplashTrigger), 1500);
    EXPECT_EQ(window->model().MinutesLeft, 10);
    // Ready with an empty list: the five action buttons wait behind the slogan.
    for (PictureButton* b : {window->btMark, window->btDelete, window->btRemark, window->btResetAll, window->btLaunch})
        EXPECT_FALSE(b->isVisible()) << b->text().toStdString();
    EXPECT_TRUE(window->lblSlogan->isVisible());
    EXPECT_EQ(window->lblSlogan->text(), "Veltrane - eliminate junk e-mail!");
    EXPECT_EQ(window->statusPanel1->text(), "Right click for more options, double click to mark");
    EXPECT_EQ(window->popup1->width(), window->btHelp->geometry().right() + 5);

    window->resize(100, 10);
    EXPECT_GE(window->width(), 476);
    EXPECT_GE(window->height(), 70);

    QSignalSpy closed(window.get(), &TfrmMain::closed);
    window->btExit->click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowStart, TrayModeStaysHiddenWithTheTrayIcon) {
    storeStartupValues(true, false, 10);
    open({.trayAvailable = true});
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->trayIconVisible());
    EXPECT_EQ(window->btExit->text(), "&Hide");

    // The exit button only hides; a later start brings the window back.
    window->bringToFront();
    EXPECT_TRUE(window->isVisible());
    QSignalSpy closed(window.get(), &TfrmMain::closed);
    window->btExit->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(closed.count(), 0);
}

TEST_F(MainWindowStart, AutomaticModeCountsDownInTheCaption) {
    storeStartupValues(false, true, 10);
    open();
    EXPECT_EQ(window->windowTitle(), "Veltrane - next e-mail check in 10 minutes");
    EXPECT_EQ(window->lblTitle->text(), "Veltrane - next e-mail check in 10 minutes");
    EXPECT_TRUE(window->EnableAutomatic1->isChecked());
    EXPECT_FALSE(window->DisableAutomatic1->isChecked());
    EXPECT_TRUE(window->trayAnimated());
    EXPECT_TRUE(window->checkTriggerEnabled());
}

TEST_F(MainWindowStart, TrayMenuSwitchesTheAutomaticCheckAndLogsIt) {
    storeStartupValues(false, true, 10);
    settings.logFile = data.file("logfile.txt");
    open();
    window->model().MinutesLeft = 4;
    window->DisableAutomatic1->trigger();
    EXPECT_EQ(window->windowTitle(), "Veltrane");
    EXPECT_FALSE(window->trayAnimated());
    EXPECT_FALSE(window->checkTriggerEnabled());
    EXPECT_TRUE(window->DisableAutomatic1->isChecked());
    EXPECT_EQ(window->model().MinutesLeft, 10);
    EXPECT_FALSE(SettingsStore().read(keys::Automatic));
    EXPECT_NE(data.read("logfile.txt").find("Automatic mode disabled at "), std::string::npos);

    window->EnableAutomatic1->trigger();
    EXPECT_EQ(window->windowTitle(), "Veltrane - next e-mail check in 10 minutes");
    EXPECT_TRUE(window->checkTriggerEnabled());
    EXPECT_TRUE(SettingsStore().read(keys::Automatic));
}

TEST_F(MainWindowStart, RemovesBodyFilesOfAnEarlierRunUpTo100) {
    for (int n : {0, 7, 100, 101})
        data.write(QStringLiteral("msg_%1.eml").arg(n), "Subject: old\r\n\r\nbody\r\n");
    data.write("msg_x.eml", "kept");
    open();
    for (int n : {0, 7, 100})
        EXPECT_FALSE(QFile::exists(data.file(QStringLiteral("msg_%1.eml").arg(n)))) << n;
    EXPECT_TRUE(QFile::exists(data.file("msg_101.eml")));
    EXPECT_TRUE(QFile::exists(data.file("msg_x.eml")));
}

TEST_F(MainWindowStart, SplashShowsItsSecondPictureThenGoesWithItsTrigger) {
    auto* splash = new TfrmSplash;
    splash->show();
    window = std::make_unique<TfrmMain>(TfrmMain::Parts{rules, settings, accounts, clock, boxes}, splash,
                                        TfrmMain::Options{});
    ASSERT_TRUE(window->splash());
    EXPECT_TRUE(window->splash()->secondPictureShown());
    EXPECT_TRUE(window->timerPool().enabled(window->SplashTrigger));
    ASSERT_TRUE(waitFor([&] { return window->splash() == nullptr; }, 10000));
    EXPECT_FALSE(window->timerPool().enabled(window->SplashTrigger));
}

// -- Keyboard shortcuts ------------------------------------------------------------------------

struct ShortcutCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool startsCheck;
};

class Shortcuts : public MainWindowFixture, public ::testing::WithParamInterface<ShortcutCase> {};

// With no account a check stops at once with its error box: proof enough that it started.
TEST_P(Shortcuts, OnlyAnUnmodifiedCStartsACheck) {
    open();
    release(GetParam().key, GetParam().modifiers);
    if (GetParam().startsCheck)
        EXPECT_EQ(shownTexts(), std::vector<std::string>{NoUserName});
    else
        EXPECT_TRUE(shownTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, Shortcuts,
                         ::testing::Values(ShortcutCase{"C", Qt::Key_C, Qt::NoModifier, true},
                                           ShortcutCase{"KeypadC", Qt::Key_C, Qt::KeypadModifier, true},
                                           ShortcutCase{"CtrlC", Qt::Key_C, Qt::ControlModifier, false},
                                           ShortcutCase{"ShiftC", Qt::Key_C, Qt::ShiftModifier, false},
                                           ShortcutCase{"AltC", Qt::Key_C, Qt::AltModifier, false},
                                           ShortcutCase{"Q", Qt::Key_Q, Qt::NoModifier, false}),
                         ParamName());

TEST_F(MainWindowFixture, LowerCaseLetterFromAnyControlCounts) {
    open();
    // A lower-case c (Caps Lock off) released on the check button itself.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_C, Qt::NoModifier, "c");
    QApplication::sendEvent(window->btList, &press);
    QApplication::sendEvent(window->btList, &up);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{NoUserName});
}

TEST_F(MainWindowFixture, CtrlCReleasedCtrlFirstIsStillNoCheck) {
    open();
    QTest::keyPress(window->ListView1, Qt::Key_C, Qt::ControlModifier);
    QTest::keyRelease(window->ListView1, Qt::Key_Control, Qt::NoModifier);
    release(Qt::Key_C);
    EXPECT_TRUE(shownTexts().empty());
    release(Qt::Key_C); // the next plain C is a shortcut again
    EXPECT_EQ(shownTexts(), std::vector<std::string>{NoUserName});
}

TEST_F(MainWindowFixture, MOnAnEmptyListSaysThereIsNothingToMark) {
    open();
    release(Qt::Key_M);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{
                                "information: Either there are no e-mail messages waiting on the mail server or you "
                                "have not yet clicked on the \"Check E-Mail\" button."});
}

// -- A real check ------------------------------------------------------------------------------

TEST_F(MainWindowFixture, CheckGoesBusyAndBackToReadyWithTheRowsAndMarks) {
    startMailbox();
    open();
    struct Seen {
        bool listDisabled = false, optionsDisabled = false, actionsHidden = false, sloganShown = false;
        QString exitCaption;
        bool progressShown = false;
    } during;
    bool seen = false;
    QObject::connect(window->listModel, &QAbstractItemModel::rowsInserted, window.get(), [&] {
        if (seen)
            return;
        seen = true;
        during.listDisabled = !window->btList->isEnabled();
        during.optionsDisabled = !window->btOptions->isEnabled();
        during.actionsHidden = !window->btMark->isVisible() && !window->btDelete->isVisible();
        during.sloganShown = window->lblSlogan->isVisible();
        during.exitCaption = window->btExit->text();
        during.progressShown = progress->isVisible();
    });

    window->btList->click();

    ASSERT_TRUE(seen);
    EXPECT_TRUE(during.listDisabled);
    EXPECT_TRUE(during.optionsDisabled);
    EXPECT_TRUE(during.actionsHidden);
    EXPECT_TRUE(during.sloganShown);
    EXPECT_EQ(during.exitCaption, "Cancel");
    EXPECT_TRUE(during.progressShown);

    EXPECT_TRUE(boxes.shown.empty()) << shownTexts().front();
    EXPECT_TRUE(window->btList->isEnabled());
    EXPECT_TRUE(window->btOptions->isEnabled());
    for (PictureButton* b : {window->btMark, window->btDelete, window->btRemark, window->btResetAll, window->btLaunch})
        EXPECT_TRUE(b->isVisible()) << b->text().toStdString();
    EXPECT_FALSE(window->lblSlogan->isVisible());
    EXPECT_EQ(window->btExit->text(), "E&xit");
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(window->statusText(), "Message Total: 3 Number Marked: 1");

    const QAbstractItemModel* list = window->ListView1->model();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->data(list->index(1, MessageListModel::Subject)).toString(), "You WIN a free cruise");
    EXPECT_EQ(list->data(list->index(1, MessageListModel::Sender)).toString(), "prize@spam.example");
    EXPECT_EQ(list->data(list->index(0, MessageListModel::Date)).toString(), "3/9/1999 10:20:30 AM");
    const auto picture = [&](int row) {
        return list->data(list->index(row, MessageListModel::Subject), Qt::DecorationRole)
            .value<QIcon>()
            .pixmap(16, 16)
            .toImage();
    };
    EXPECT_EQ(picture(1), MarkIcons()[Mark::Delete].pixmap(16, 16).toImage());
    EXPECT_EQ(picture(2), MarkIcons()[Mark::Question].pixmap(16, 16).toImage());
    const QImage unmarked = picture(0);
    for (int y = 0; y < unmarked.height(); ++y)
        for (int x = 0; x < unmarked.width(); ++x)
            ASSERT_EQ(qAlpha(unmarked.pixel(x, y)), 0);
    EXPECT_FALSE(list->flags(list->index(1, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(window->ListView1->isSortingEnabled());
}

TEST_F(MainWindowFixture, WhileCheckingOnlyXActsAndItCancels) {
    startMailbox();
    open();
    // The server holds back its greeting, so the keys arrive while the check waits for it.
    bool pressed = false;
    QObject::connect(&window->model().client(), &Pop3Client::OnOpen, window.get(), [&] {
        dovecot.pause();
        QTimer::singleShot(0, window.get(), [&] {
            pressed = true;
            release(Qt::Key_M); // ready, this would ask for a selection
            release(Qt::Key_A);
            release(Qt::Key_C);
            EXPECT_TRUE(boxes.shown.empty());
            release(Qt::Key_X);
            dovecot.resume();
        });
    });
    window->btList->click();
    ASSERT_TRUE(pressed);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"error: Operation has been canceled"});
    EXPECT_EQ(window->ListView1->model()->rowCount(), 0);
    EXPECT_EQ(window->btExit->text(), "E&xit");
    EXPECT_TRUE(window->btList->isEnabled());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dovecot.messages("alice").size(), 3u);
}

TEST_F(MainWindowFixture, ClickToCancelStopsTheCheckAndTheNextCheckRuns) {
    startMailbox();
    open();
    bool clicked = false;
    const auto connection = QObject::connect(&window->model().client(), &Pop3Client::OnOpen, window.get(), [&] {
        dovecot.pause();
        QTimer::singleShot(0, window.get(), [&] {
            clicked = true;
            progress->btCancel->click();
            dovecot.resume();
        });
    });
    window->btList->click();
    ASSERT_TRUE(clicked);
    EXPECT_EQ(shownTexts(), std::vector<std::string>{"error: Operation has been canceled"});
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(window->btList->isEnabled());
    EXPECT_EQ(window->btExit->text(), "E&xit");

    QObject::disconnect(connection);
    boxes.shown.clear();
    release(Qt::Key_C);
    EXPECT_TRUE(boxes.shown.empty()) << shownTexts().front();
    EXPECT_EQ(window->ListView1->model()->rowCount(), 3);
}

TEST_F(MainWindowFixture, HeadersOfTheSelectedRowsInTheTextWindow) {
    startMailbox();
    open();
    window->btList->click();
    ASSERT_EQ(window->ListView1->model()->rowCount(), 3);
    QItemSelectionModel* selection = window->ListView1->selectionModel();
    for (int row : {0, 2})
        selection->select(window->ListView1->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QString title, text;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<TfrmViewHeader*>(QApplication::activeModalWidget());
        ASSERT_TRUE(shown);
        title = shown->lblTitle->text();
        text = shown->Memo1->toPlainText();
        shown->accept();
    });
    const QList<QAction*> items = window->PopupMenu1->actions();
    const auto headers = std::find_if(items.begin(), items.end(),
                                      [](const QAction* a) { return a->text() == "View selected message(s) headers"; });
    ASSERT_NE(headers, items.end());
    (*headers)->trigger();
    EXPECT_EQ(title, "Contents of selected e-mail headers");
    EXPECT_TRUE(text.contains("Subject : Lunch on Friday? Sender : friend@home.example"));
    EXPECT_TRUE(text.contains("Subject: Weekly notes"));
    EXPECT_FALSE(text.contains("free cruise"));
}

TEST_F(MainWindowFixture, MailboxChoiceCancelledChangesNothing) {
    startMailbox();
    useAccounts({{dovecot.address(), "alice", "secret"}, {"other.example:1", "bob", "pw"}});
    open();
    window->model().MinutesLeft = 10;
    std::vector<QString> offered;
    QTimer::singleShot(0, [&] {
        auto* which = qobject_cast<TfrmWhichMailbox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(which);
        for (int i = 0; i < which->cbWhich->count(); ++i)
            offered.push_back(which->cbWhich->itemText(i));
        EXPECT_EQ(which->cbWhich->currentIndex(), 0);
        EXPECT_EQ(which->windowTitle(), "Which Mail Box?");
        which->reject();
    });
    window->btList->click();
    EXPECT_EQ(offered, (std::vector<QString>{QString::fromStdString("1) Mailbox alice - Server " + dovecot.address()),
                                             "2) Mailbox bob - Server other.example:1"}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window->ListView1->model()->rowCount(), 0);
    EXPECT_EQ(window->statusText().toStdString().find("Opening"), std::string::npos);
}

// -- Marking by hand ---------------------------------------------------------------------------

class Marking : public MainWindowFixture {
protected:
    void SetUp() override {
        startMailbox();
        open();
        window->btList->click();
        ASSERT_EQ(window->model().entries().size(), 3u);
        boxes.shown.clear();
    }
    MarkState mark(int row) const { return window->model().entries()[static_cast<size_t>(row)].mark; }
    void doubleClick(int row) {
        QTreeView* list = window->ListView1;
        const QRect cell = list->visualRect(list->model()->index(row, MessageListModel::Subject));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
};

TEST_F(Marking, DoubleClickTogglesBetweenDeleteAndUnmarked) {
    struct Case {
        MarkState before, after;
    };
    for (const Case c : {Case{Mark::KnownSpammer, Mark::None}, Case{Mark::Delete, Mark::None},
                         Case{Mark::FirstException + 2, Mark::Delete}, Case{Mark::Question, Mark::Delete},
                         Case{Mark::None, Mark::Delete}}) {
        window->model().entries()[0].mark = c.before;
        window->rowsChanged();
        doubleClick(0);
        EXPECT_EQ(mark(0), c.after) << "from " << c.before;
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window->statusText(), "Message Total: 3 Number Marked: 2");
}

TEST_F(Marking, MarkWithoutSelectionAsksForOne) {
    window->ListView1->clearSelection();
    window->btMark->click();
    EXPECT_EQ(shownTexts(), std::vector<std::string>{NothingSelected});
}

TEST_F(Marking, ResetUnmarksEveryRow) {
    release(Qt::Key_R);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(mark(row), Mark::None);
    EXPECT_EQ(window->statusText(), "Message Total: 3 Number Marked: 0");
}

TEST_F(Marking, AutoMarkClassifiesAgain) {
    window->ResetButtonClick();
    window->btRemark->click();
    EXPECT_EQ(mark(1), Mark::Delete);
    EXPECT_EQ(mark(2), Mark::Question);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window->statusText(), "Message Total: 3 Number Marked: 1");
}

TEST_F(Marking, AutoMarkWithNoMatchSaysSoAndLeavesAllUnmarked) {
    rules.subject.reset();
    window->model().entries()[0].mark = Mark::Delete;
    release(Qt::Key_A);
    EXPECT_EQ(shownTexts(),
              std::vector<std::string>{"information: None of the messages matched any of the spam criteria."});
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(mark(row), Mark::None);
}

TEST_F(Marking, DeleteShortcutRemovesTheMarkedMessageOnTheServer) {
    settings.ask = true;
    boxes.setNextAnswer(true);
    release(Qt::Key_D);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.front().kind, "confirm");
    const auto left = dovecot.messages("alice");
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[1].find("free cruise"), std::string::npos);
}

} // namespace
} // namespace veltrane::test
