#pragma once

#include "base/status.h"
#include "rules/senderchecks.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

inline const QString KnownListFile = QStringLiteral("known.lst");

// The known-spammer blacklist: addresses and domain names, kept in the order of the locale's
// comparison without regard to case (the comparison the regional settings' collator makes, fixed
// when the list is made). Duplicates are allowed. Entries are bytes as in the file; UTF-8 entries
// are read as UTF-8 and any other as Windows-1252.
class lbKnown {
public:
    // Only the first Significant characters of an entry count when the list is searched.
    static constexpr size_t Significant = 80;

    lbKnown();
    ~lbKnown();
    lbKnown(const lbKnown&) = delete;
    lbKnown& operator=(const lbKnown&) = delete;

    void clear();
    // Takes the entries' place in the order; entries that compare equal keep the order given.
    void assign(const std::vector<std::string>& entries);
    void assign(std::span<const std::string_view> entries);
    void add(std::string_view entry);

    size_t count() const { return entries_.size(); }
    std::string_view entry(size_t index) const;
    std::vector<std::string> entries() const;

    // A binary search over the sorted entries that compares the text with the first Significant
    // characters of each entry probed: an entry longer than that matches a text equal to its
    // beginning, never one equal to the whole entry. The index found, if any.
    std::optional<size_t> find(std::string_view text) const;

    // Every entry followed by CR LF, in order.
    std::string fileText() const;

private:
    class Collator;
    struct Entry {
        uint64_t head = 0;       // the first bytes of the sort key, for quick comparisons
        uint64_t searchHead = 0; // the same of the search key
        uint64_t text = 0;       // offsets into texts_ and keys_
        uint64_t key = 0;
        uint64_t searchKey = 0; // the key of the first Significant characters (the key itself when shorter)
        uint32_t textLength = 0;
        uint32_t keyLength = 0;
        uint32_t searchKeyLength = 0;
    };
    Entry makeEntry(std::string_view text);
    bool less(const Entry& a, const Entry& b) const;
    template <typename Texts>
    void assignTexts(const Texts& texts);

    std::unique_ptr<Collator> collator_;
    std::string texts_;
    std::string keys_;
    std::vector<Entry> entries_;
    // The entries' search heads once more, packed, so that most steps of a search stay in the cache.
    std::vector<uint64_t> searchHeads_;
};

// Empties the list and fills it from known.lst in the data folder (or the given file): one entry a
// line, every line an entry, an empty one included. A missing file leaves the list empty and is no
// error; a file that exists but cannot be read is.
Status LoadUpKnownList(lbKnown& list);
Status LoadUpKnownList(lbKnown& list, const QString& path);

// The sender's address on the blacklist ("E-mail"), or else the part after its first at sign
// ("Domain"); the matched text is the address or that domain.
std::optional<SenderChecks::KnownSpammer> isInKnownList(const lbKnown& list, std::string_view senderAddress);

// The entries Save makes of the editor's text: every line is tried in turn; a line is dropped when
// it equals the line before it without regard to case (so a repeat is dropped only right after its
// twin), or when it holds an at sign with nothing but digits and underscores before it. A last line
// is kept unless it is empty, the mark of a text that ends in a line break.
std::vector<std::string> rebuildKnownEntries(const QString& editorText);

// What the page "BlackList" of the spam settings window shows and does; the window only mirrors
// these fields and forwards its buttons.
class KnownListEditor {
public:
    static constexpr const char* MissingNotice = "Could not locate the known spammer blacklist!";
    static constexpr const char* RebuildNotice = "Re-building list ... stand by";

    // Edits the blacklist kept in the given file (known.lst in the data folder by default).
    explicit KnownListEditor(lbKnown& list);
    KnownListEditor(lbKnown& list, QString path);

    // Shows the file read-only, or the notice and no buttons when it does not exist.
    void LoadMemoofKnownSpammers();
    void edit();
    void cancel();
    // Rebuilds the blacklist from the text and writes the file when it exists; then shows the file
    // again. noticeShown runs once the notice is up, so the window can paint it before the work.
    Status save(const std::function<void()>& noticeShown = {});

    // The number of lines of the text, shown under "Spammers".
    int lineCount() const;

    QString text;         // the editor's text; the window writes the user's edits here
    bool readOnly = true; // grey while read-only
    bool saveEnabled = false;
    bool cancelEnabled = false;
    bool buttonsVisible = true; // Edit, Save and Cancel
    QString notice;             // empty while the notice panel is hidden
    int topLine = 0;            // the line at the editor's top; the window keeps it and restores it after Save

private:
    lbKnown& list_;
    QString path_;
};

} // namespace veltrane
