#include "mail/mailfixture.h"
#include "mail/mimebody.h"

#include <QFile>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

using Mode = MainWindowView::TextWindowMode;

class InspectionTest : public test::MailFixture {
protected:
    void SetUp() override {
        MailFixture::SetUp();
        dovecot.addMessage("alice", "From: big@x.example\r\nSubject: =?iso-8859-1?Q?Gr=FC=DFe?=\r\n"
                                    "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
                                    "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
                                        std::string("Sch=F6ne Gr=FC=DFe\r\n.leading dot\r\n") +
                                        std::string(50000, 'x') + "\r\n");
        ASSERT_TRUE(model.btListClick());
        view.boxes.shown.clear();
    }
};

TEST_F(InspectionTest, HeadersOfSelectedRowsInListOrder) {
    view.selection = {0, 2};
    model.ViewHeader1Click();
    ASSERT_EQ(view.shownTexts.size(), 1u);
    EXPECT_EQ(view.shownTexts[0].first, Mode::Headers);
    const std::string stars(38, '*');
    EXPECT_EQ(view.shownTexts[0].second.rfind(stars + "\nSubject : Lunch on Friday? Sender : friend@home.example\n" +
                                                  stars + "\nFrom: Friend <friend@home.example>\n",
                                              0),
              0u)
        << view.shownTexts[0].second;
    EXPECT_NE(view.shownTexts[0].second.find("Subject : Weekly notes Sender : news@list.example"), std::string::npos);
}

TEST_F(InspectionTest, NothingSelected) {
    model.ViewHeader1Click();
    model.Why1Click();
    ASSERT_EQ(view.boxes.shown.size(), 2u);
    EXPECT_EQ(view.boxes.shown[0].text.rfind("No messages were selected.  To select one message", 0), 0u);
    EXPECT_TRUE(view.shownTexts.empty());
}

TEST_F(InspectionTest, ReasonsWithTheUsersOwnMarks) {
    struct Case {
        int row;
        MarkState userMark;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, Mark::None,
         "Message from friend@home.example\nSubject of   Lunch on Friday?\n\n"
         "Message was neither on the exception list nor on the list of matching criteria\n"},
        {0, Mark::Delete,
         "Message from friend@home.example\nSubject of   Lunch on Friday?\n\n"
         "Message was neither on the exception list nor on the list of matching criteria\n"
         "** You marked this message **\n"},
        {1, Mark::None,
         "Message from prize@spam.example\nSubject of   You WIN a free cruise\n\n"
         "Delete   :  Subject Contains \"free\" \n** You un-marked this message **\n"},
    };
    for (const Case& c : cases) {
        model.entries()[static_cast<size_t>(c.row)].mark = c.userMark;
        view.selection = {c.row};
        view.shownTexts.clear();
        model.Why1Click();
        ASSERT_EQ(view.shownTexts.size(), 1u);
        EXPECT_EQ(view.shownTexts[0].first, Mode::Reasons);
        EXPECT_EQ(view.shownTexts[0].second, c.text);
        EXPECT_EQ(model.entries()[static_cast<size_t>(c.row)].mark, c.userMark); // kept
    }
    EXPECT_EQ(rules.subject.cell(5, 1), "1"); // explaining counts no hits
}

TEST_F(InspectionTest, LargeBodyAsksFirstThenShowsDecodedText) {
    view.selection = {3, 0};
    model.ViewMessages1Click(); // answered No
    ASSERT_EQ(view.boxes.shown.size(), 2u);
    EXPECT_EQ(view.boxes.shown[0].text, "You have selected more than one message to view.  Only one message can be "
                                        "viewed at one time.  The first one selected will be displayed.");
    EXPECT_EQ(view.boxes.shown[1].kind, "confirm");
    EXPECT_EQ(view.boxes.shown[1].text.rfind("The message you have selected to view is quite large - ", 0), 0u);
    EXPECT_TRUE(view.shownTexts.empty());

    view.boxes.setNextAnswer(true);
    model.ViewMessages1Click();
    ASSERT_EQ(view.shownTexts.size(), 1u);
    EXPECT_EQ(view.shownTexts[0].first, Mode::Body);
    EXPECT_EQ(view.shownTexts[0].second.rfind("Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9F"
                                              "e\r\n.leading dot",
                                              0),
              0u)
        << view.shownTexts[0].second.substr(0, 60);
    EXPECT_TRUE(QFile::exists(data.file("msg_3.eml"))); // row 4 is stored as msg_3.eml
    EXPECT_FALSE(view.busy);

    MainModel::CleanUpEMLFiles();
    EXPECT_FALSE(QFile::exists(data.file("msg_3.eml")));
}

TEST_F(InspectionTest, AskingStartsAbove50000Bytes) {
    view.selection = {0};
    for (const auto& [size, asks] : std::vector<std::pair<std::string, bool>>{{"50000", false}, {"50001", true}}) {
        model.entries()[0].size = size;
        view.boxes.shown.clear();
        view.shownTexts.clear();
        model.ViewMessages1Click(); // a question is answered No
        EXPECT_EQ(!view.boxes.shown.empty(), asks) << size;
        EXPECT_EQ(view.shownTexts.empty(), asks) << size;
    }
}

TEST_F(InspectionTest, SmallBodyNeedsNoQuestion) {
    view.selection = {0};
    model.ViewMessages1Click();
    EXPECT_TRUE(view.boxes.shown.empty());
    ASSERT_EQ(view.shownTexts.size(), 1u);
    EXPECT_EQ(view.shownTexts[0].second, "Hello,\r\nbody text\r\n");
}

TEST(MimeBody, PicksTheTextPartAndUndoesItsEncoding) {
    const std::string multipart = "From: a@b\r\nMIME-Version: 1.0\r\n"
                                  "Content-Type: multipart/mixed; boundary=XX\r\n\r\n"
                                  "--XX\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                  "Content-Transfer-Encoding: base64\r\n\r\nSGVsbG8gV29ybGQ=\r\n"
                                  "--XX\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment\r\n\r\n"
                                  "PDFDATA\r\n--XX--\r\n.\r\n";
    EXPECT_EQ(messageBodyTextOf(multipart), "Hello World");
    EXPECT_EQ(messageBodyTextOf(""), "");
    EXPECT_EQ(messageBodyTextOf("\x01\x02 not a message"), "");
}

} // namespace
} // namespace veltrane
