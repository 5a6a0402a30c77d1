#include "rules/blacklist.h"
#include "support/tempfolder.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <gtest/gtest.h>

namespace veltrane {
namespace {

std::vector<std::string> sortedList(const std::vector<std::string>& entries) {
    lbKnown list;
    list.assign(entries);
    return list.entries();
}

// Sets the regional settings for the lifetime of the object.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) : previous_(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(previous_); }

private:
    QLocale previous_;
};

TEST(KnownList, OrderIsTheLocaleComparisonWithoutRegardToCase) {
    // The order of Qt's collator for the regional settings, case ignored, accents not.
    const std::vector<std::string> words = {"zeta",      "Alpha", "\xC3\xA4rger", "beta", "\xC3\x84rmel-x",
                                            "arm",       "a-b",   "ab",           "_x",   "10",
                                            "9",         "e",     "\xC3\xA9",     "F",    "f",
                                            "\xC3\xB6n", "on",    "zon"};
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c(), QLocale(QLocale::Swedish, QLocale::Sweden),
          QLocale(QLocale::German, QLocale::Germany)}) {
        SCOPED_TRACE(locale.name().toStdString());
        LocaleScope scope(locale);
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<std::string> expected = words;
        std::stable_sort(expected.begin(), expected.end(), [&collator](const std::string& a, const std::string& b) {
            return collator.compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
        });
        EXPECT_EQ(sortedList(words), expected);
    }

    // Swedish puts ö after z; German files it with o.
    {
        LocaleScope swedish(QLocale(QLocale::Swedish, QLocale::Sweden));
        EXPECT_EQ(sortedList({"\xC3\xB6n", "on", "zon"}), (std::vector<std::string>{"on", "zon", "\xC3\xB6n"}));
    }
    {
        LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(sortedList({"\xC3\xB6n", "on", "zon"}), (std::vector<std::string>{"on", "\xC3\xB6n", "zon"}));
    }

    // Equal entries keep the order they came in; nothing is dropped.
    EXPECT_EQ(sortedList({"b", "SPAM@x.com", "a", "spam@X.com", "Spam@x.com"}),
              (std::vector<std::string>{"a", "b", "SPAM@x.com", "spam@X.com", "Spam@x.com"}));
}

struct LookupCase {
    const char* name;
    std::string sender;
    std::optional<std::pair<std::string, std::string>> found; // kind, matched text
};

TEST(KnownList, LookupByAddressThenDomain) {
    const std::string longEntry = std::string(70, 'l') + "@long.example.com"; // 87 characters
    lbKnown list;
    list.assign({"spammer@bulk.example", "junk.example",
                 "m\xFC"
                 "ller@cp1252.example",
                 longEntry, "zz@zz", "aa@aa", "123456"});
    const LookupCase cases[] = {
        {"address in other case", "SPAMMER@Bulk.Example", std::pair{"E-mail", "SPAMMER@Bulk.Example"}},
        {"domain as a line of its own", "anyone@JUNK.example", std::pair{"Domain", "JUNK.example"}},
        {"domain of a listed address", "other@bulk.example", std::nullopt},
        {"no at sign, not listed", "bulk.example", std::nullopt},
        {"Windows-1252 entry, UTF-8 sender", "M\xC3\x9CLLER@cp1252.example",
         std::pair{"E-mail", "M\xC3\x9CLLER@cp1252.example"}},
        {"the first 80 characters of a long entry", longEntry.substr(0, 80),
         std::pair{"E-mail", longEntry.substr(0, 80)}},
        {"a long entry whole", longEntry, std::nullopt},
        {"a long entry's domain alone", "x@long.example.com", std::nullopt},
        {"digits without an at sign", "123456", std::pair{"E-mail", "123456"}},
        {"empty address", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = isInKnownList(list, c.sender);
        ASSERT_EQ(result.has_value(), c.found.has_value());
        if (result) {
            EXPECT_EQ(result->kind, c.found->first);
            EXPECT_EQ(result->matched, c.found->second);
        }
    }
    EXPECT_FALSE(isInKnownList(lbKnown(), "spammer@bulk.example"));
}

TEST(KnownList, AdditionsTakeTheirPlace) {
    lbKnown list;
    for (const char* entry : {"m@x", "b@x", "Z@x", "B@X", "a@x"})
        list.add(entry);
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"a@x", "b@x", "B@X", "m@x", "Z@x"}));
    for (const char* present : {"A@X", "b@x", "m@X", "z@x"})
        EXPECT_TRUE(list.find(present)) << present;
    for (const char* absent : {"", "a", "c@x", "zz@x"})
        EXPECT_FALSE(list.find(absent)) << absent;
}

TEST(KnownList, LoadsEveryLineOfTheFile) {
    test::TempDataFolder folder;
    lbKnown list;
    list.add("stale@old.example");
    // A missing file is an empty list and no error.
    ASSERT_TRUE(LoadUpKnownList(list).ok());
    EXPECT_EQ(list.count(), 0u);

    folder.write("known.lst", "b@x.com\r\nA@y.com\r\n\r\nc.example\nd.example\rlast.example");
    ASSERT_TRUE(LoadUpKnownList(list).ok());
    EXPECT_EQ(list.entries(),
              (std::vector<std::string>{"", "A@y.com", "b@x.com", "c.example", "d.example", "last.example"}));
    EXPECT_EQ(list.fileText(), "\r\nA@y.com\r\nb@x.com\r\nc.example\r\nd.example\r\nlast.example\r\n");

    folder.write("known.lst", "");
    ASSERT_TRUE(LoadUpKnownList(list).ok());
    EXPECT_EQ(list.count(), 0u);
}

struct RebuildCase {
    const char* name;
    const char* text;
    std::vector<std::string> entries;
};

TEST(KnownList, RebuildDropsTwinsAndNumericAddresses) {
    const RebuildCase cases[] = {
        {"a twin is dropped only right after its twin", "b\nB\na\nb\n", {"a", "b", "b"}},
        {"numeric addresses", "12345@x.com\n12345\n1_2@x.com\n@x.com\n1a@x.com\n", {"12345", "1a@x.com"}},
        {"a last line without a line break is kept", "x.example\r\ny.example", {"x.example", "y.example"}},
        {"an empty first line is the twin of nothing", "\na\n\n\n", {"", "a"}},
        {"an empty text", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sortedList(rebuildKnownEntries(QString::fromUtf8(c.text))), c.entries);
    }
}

TEST(KnownListEditor, ShowsTheFileOrTheNotice) {
    test::TempDataFolder folder;
    lbKnown list;
    KnownListEditor editor(list);
    editor.LoadMemoofKnownSpammers();
    EXPECT_EQ(editor.notice, "Could not locate the known spammer blacklist!");
    EXPECT_FALSE(editor.buttonsVisible);
    EXPECT_TRUE(editor.text.isEmpty());

    folder.write("known.lst", "a@x.com\r\nm\xFC"
                              "ller@y.de\r\n");
    editor.LoadMemoofKnownSpammers();
    EXPECT_TRUE(editor.notice.isEmpty());
    EXPECT_TRUE(editor.buttonsVisible);
    EXPECT_TRUE(editor.readOnly);
    EXPECT_EQ(editor.text, QString::fromUtf8("a@x.com\nm\xC3\xBCller@y.de\n"));
    EXPECT_EQ(editor.lineCount(), 3);

    editor.edit();
    EXPECT_FALSE(editor.readOnly);
    EXPECT_TRUE(editor.saveEnabled && editor.cancelEnabled);
    editor.text += "typed@z.com";
    editor.cancel();
    EXPECT_TRUE(editor.readOnly);
    EXPECT_FALSE(editor.saveEnabled || editor.cancelEnabled);
    EXPECT_EQ(editor.text, QString::fromUtf8("a@x.com\nm\xC3\xBCller@y.de\n"));
}

TEST(KnownListEditor, SaveRebuildsTheListAndReplacesTheFile) {
    test::TempDataFolder folder;
    folder.write("known.lst", "old@x.com\r\n");
    lbKnown list;
    ASSERT_TRUE(LoadUpKnownList(list).ok());
    KnownListEditor editor(list);
    editor.LoadMemoofKnownSpammers();
    editor.edit();
    editor.topLine = 1;
    editor.text = "zed@x.com\nb\nB\n999@x.com\nold@x.com\ntyped.example";

    QString noticeDuringSave;
    ASSERT_TRUE(editor.save([&] { noticeDuringSave = editor.notice; }).ok());
    EXPECT_EQ(noticeDuringSave, "Re-building list ... stand by");
    EXPECT_EQ(folder.read("known.lst"), "b\r\nold@x.com\r\ntyped.example\r\nzed@x.com\r\n");
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"b", "old@x.com", "typed.example", "zed@x.com"}));
    EXPECT_TRUE(isInKnownList(list, "someone@TYPED.example"));
    EXPECT_TRUE(editor.notice.isEmpty());
    EXPECT_TRUE(editor.readOnly);
    EXPECT_FALSE(editor.saveEnabled || editor.cancelEnabled);
    EXPECT_EQ(editor.text, "b\nold@x.com\ntyped.example\nzed@x.com\n");
    EXPECT_EQ(editor.topLine, 1);

    // Without the file the list is still rebuilt, but no file is made.
    QFile::remove(folder.file("known.lst"));
    editor.edit();
    editor.text = "new@x.com\n";
    ASSERT_TRUE(editor.save().ok());
    EXPECT_EQ(list.entries(), std::vector<std::string>{"new@x.com"});
    EXPECT_FALSE(QFile::exists(folder.file("known.lst")));
    EXPECT_EQ(editor.notice, "Could not locate the known spammer blacklist!");
}

} // namespace
} // namespace veltrane
