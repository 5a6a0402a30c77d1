#include "message/markstate.h"
#include "ui/optRetrieve.h"
#include "ui/pictures.h"
#include "ui/uitext.h"
#include "ui/vheader.h"
#include "ui/which.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

TEST(MarkPictures, FifteenDrawnAtListSize) {
    const auto& icons = MarkIcons();
    ASSERT_EQ(icons.size(), static_cast<size_t>(Mark::IconCount));
    for (size_t i = 0; i < icons.size(); ++i) {
        const QImage image = icons[i].pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull()) << i;
        // Something is drawn: not every pixel is transparent.
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << "B" << i;
    }
    for (const char* name : {"hammer", "anim1", "anim2", "down", "up", "stop", "bye", "door", "mark", "delete",
                             "remark", "reset", "launch", "options", "general", "spam", "stats", "about", "help"})
        EXPECT_FALSE(picture(name).pixmap(32, 32).isNull()) << name;
}

TEST(ShownText, Utf8AsItIsAnythingElseAsWindows1252) {
    EXPECT_EQ(shownText("Gr\xC3\xBC\xC3\x9F"
                        "e"),
              QString::fromUtf8("Grüße"));
    EXPECT_EQ(shownText("Gr\xFC\xDF"
                        "e \x80 \x96"),
              QString::fromUtf8("Grüße € –"));
    EXPECT_EQ(shownText(""), QString());
}

TEST(MailboxChoice, OkAnswersTheChosenEntryCancelAnswersNothing) {
    const std::vector<std::string> entries{"1) Mailbox a - Server s1", "3) Mailbox c - Server s3"};
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TfrmWhichMailbox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->cbWhich->currentIndex(), 1);
        EXPECT_FALSE(dialog->cbWhich->isEditable());
        dialog->cbWhich->setCurrentIndex(0);
        dialog->accept();
    });
    EXPECT_EQ(TfrmWhichMailbox::choose(entries, 1), std::optional<int>(0));

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(TfrmWhichMailbox::choose(entries, 0), std::nullopt);

    // Nothing preselected and nothing chosen: OK keeps the mailbox as it was.
    QTimer::singleShot(0, [] { qobject_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
    EXPECT_EQ(TfrmWhichMailbox::choose(entries, -1), std::optional<int>(-1));
}

TEST(TextWindow, TitleByModeSameCaption) {
    using Mode = TfrmViewHeader::Mode;
    const std::pair<Mode, const char*> cases[] = {{Mode::Headers, "Contents of selected e-mail headers"},
                                                  {Mode::Reasons, "Reasons that e-mail is marked or not marked"},
                                                  {Mode::Body, "Contents of e-mail"}};
    for (const auto& [mode, title] : cases) {
        TfrmViewHeader window(mode, "line 1\nline 2");
        EXPECT_EQ(window.lblTitle->text(), title);
        EXPECT_EQ(window.windowTitle(), "View Selected Headers");
        EXPECT_EQ(window.Memo1->toPlainText(), "line 1\nline 2");
        EXPECT_EQ(window.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }
}

TEST(ProgressWindow, EachShowingStartsAfresh) {
    TfrmRetrieving progress;
    progress.setMessage("Message 3 of 9");
    progress.setBar(true, 9, 3);
    progress.showFor("Retrieving messages ... standby", "pop.example:110", "alice");
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.windowTitle(), "Retrieving ...");
    EXPECT_TRUE(progress.lblMsg->text().isEmpty());
    EXPECT_EQ(progress.lblServer->text(), "pop.example:110");
    EXPECT_EQ(progress.lblMailbox->text(), "alice");
    EXPECT_EQ(progress.lblTitle->text(), "Retrieving messages ... standby");
    EXPECT_FALSE(progress.progbar->isVisible());
    EXPECT_TRUE(progress.anMail->running());
    progress.setBar(true, 9, 4);
    EXPECT_TRUE(progress.progbar->isVisible());
    EXPECT_EQ(progress.progbar->value(), 4);
    progress.hide();
    EXPECT_FALSE(progress.anMail->running());
}

} // namespace
} // namespace veltrane
