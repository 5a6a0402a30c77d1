#include "rules/blacklist.h"

#include "base/atomicfile.h"
#include "base/datafolder.h"
#include "rules/textmatch.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cstring>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

namespace veltrane {

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined stand for themselves.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The text of 8-bit bytes: UTF-8 when they are valid UTF-8, else Windows-1252.
void decode8Bit(std::string_view bytes, std::u16string& out) {
    if (isAscii(bytes)) {
        out.assign(bytes.begin(), bytes.end());
        return;
    }
    out.resize(bytes.size() + 1);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    if (bytes.size() < static_cast<size_t>(INT32_MAX)) {
        u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &length, bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
        if (U_SUCCESS(status)) {
            out.resize(static_cast<size_t>(length));
            return;
        }
    }
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = (byte >= 0x80 && byte < 0xA0) ? Cp1252High[byte - 0x80] : static_cast<char16_t>(byte);
    }
}

QString decodeLine(std::string_view bytes) {
    std::u16string text;
    decode8Bit(bytes, text);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// How many UTF-16 units the first `count` characters of the text take.
size_t unitsOfCharacters(const std::u16string& text, size_t count) {
    size_t units = 0;
    for (size_t characters = 0; characters < count && units < text.size(); ++characters)
        units += (U16_IS_LEAD(text[units]) && units + 1 < text.size() && U16_IS_TRAIL(text[units + 1])) ? 2 : 1;
    return units;
}

uint64_t headOf(const char* key, uint32_t length) {
    uint64_t head = 0;
    for (uint32_t i = 0; i < 8; ++i)
        head = (head << 8) | (i < length ? static_cast<unsigned char>(key[i]) : 0u);
    return head;
}

int compareKeys(uint64_t headA, const char* a, uint32_t lengthA, uint64_t headB, const char* b, uint32_t lengthB) {
    if (headA != headB)
        return headA < headB ? -1 : 1;
    const int bytes = std::memcmp(a, b, std::min(lengthA, lengthB));
    if (bytes != 0)
        return bytes;
    return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
}

// Cuts a file's text at its line breaks (CR LF, LF or CR). As a list reads a file, a break at the
// very end ends the last line; as an editor shows it, it starts an empty one.
enum class FinalBreak { EndsLine, StartsLine };

template <typename Visit>
void forEachFileLine(std::string_view text, FinalBreak finalBreak, Visit visit) {
    size_t start = 0;
    const size_t size = text.size();
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        visit(text.substr(start, i - start));
        if (c == '\r' && i + 1 < size && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size || finalBreak == FinalBreak::StartsLine)
        visit(text.substr(start));
}

// Cuts an editor's text at its line breaks; n breaks give n + 1 lines, the last one possibly empty.
QStringList editorLines(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QChar('\r'), QChar('\n'));
    return normal.split(QChar('\n'));
}

bool isNumericAddress(std::string_view line) {
    const size_t at = line.find('@');
    if (at == std::string_view::npos)
        return false;
    const std::string_view local = line.substr(0, at);
    return CountNumeric(local) == local.size();
}

} // namespace

// The comparison of the regional settings: ICU's collator for the locale, at the strength that
// tells accents apart but not case, as Qt's collator sets it up; the "C" locale compares case-folded
// code points. Comparisons go through sort keys, made once per entry.
class lbKnown::Collator {
public:
    Collator() {
        const QLocale locale;
        if (locale.language() == QLocale::C)
            return;
        const std::string name = locale.bcp47Name().replace('-', '_').toStdString();
        collator_ = open(name, true);
        // ASCII text needs no normalization, and its keys come out the same without it, faster.
        asciiCollator_ = open(name, false);
        if (!collator_ || !asciiCollator_) {
            close();
            return;
        }
    }
    ~Collator() { close(); }
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;

    // Appends the sort key of the first `units` UTF-16 units of the text; returns its length.
    uint32_t appendKey(const std::u16string& text, size_t units, std::string& out) {
        // Beyond this an entry is surely no address; its tail no longer changes its place.
        constexpr size_t MaxUnits = 1 << 20;
        units = std::min(units, MaxUnits);
        if (!collator_)
            return appendFoldedKey(text, units, out);
        const bool ascii = std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(units),
                                       [](char16_t c) { return c < 0x80; });
        const UCollator* collator = ascii ? asciiCollator_ : collator_;
        if (buffer_.size() < units * 4 + 64)
            buffer_.resize(units * 4 + 64);
        int32_t length = ucol_getSortKey(collator, text.data(), static_cast<int32_t>(units), buffer_.data(),
                                         static_cast<int32_t>(buffer_.size()));
        if (length > static_cast<int32_t>(buffer_.size())) {
            buffer_.resize(static_cast<size_t>(length));
            length = ucol_getSortKey(collator, text.data(), static_cast<int32_t>(units), buffer_.data(),
                                     static_cast<int32_t>(buffer_.size()));
        }
        out.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<size_t>(length));
        return static_cast<uint32_t>(length);
    }

private:
    static UCollator* open(const std::string& name, bool normalize) {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* collator = ucol_open(name.c_str(), &status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            collator = ucol_open("", &status);
        }
        if (U_FAILURE(status))
            return nullptr;
        ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, normalize ? UCOL_ON : UCOL_OFF, &status);
        ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
        ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        if (U_FAILURE(status)) {
            ucol_close(collator);
            return nullptr;
        }
        return collator;
    }
    void close() {
        if (collator_)
            ucol_close(collator_);
        if (asciiCollator_)
            ucol_close(asciiCollator_);
        collator_ = asciiCollator_ = nullptr;
    }

    static uint32_t appendFoldedKey(const std::u16string& text, size_t units, std::string& out) {
        const size_t before = out.size();
        for (size_t i = 0; i < units;) {
            UChar32 c;
            U16_NEXT(text.data(), i, units, c);
            const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
            out += static_cast<char>((folded >> 16) & 0xff);
            out += static_cast<char>((folded >> 8) & 0xff);
            out += static_cast<char>(folded & 0xff);
        }
        return static_cast<uint32_t>(out.size() - before);
    }

    UCollator* collator_ = nullptr;
    UCollator* asciiCollator_ = nullptr;
    std::vector<uint8_t> buffer_;
};

lbKnown::lbKnown() : collator_(std::make_unique<Collator>()) {}

lbKnown::~lbKnown() = default;

void lbKnown::clear() {
    texts_.clear();
    keys_.clear();
    entries_.clear();
    searchHeads_.clear();
}

lbKnown::Entry lbKnown::makeEntry(std::string_view text) {
    thread_local std::u16string decoded;
    decode8Bit(text, decoded);
    Entry entry;
    entry.text = texts_.size();
    entry.textLength = static_cast<uint32_t>(text.size());
    texts_.append(text);
    entry.key = keys_.size();
    entry.keyLength = collator_->appendKey(decoded, decoded.size(), keys_);
    entry.head = headOf(keys_.data() + entry.key, entry.keyLength);
    const size_t significantUnits = unitsOfCharacters(decoded, Significant);
    if (significantUnits < decoded.size()) {
        entry.searchKey = keys_.size();
        entry.searchKeyLength = collator_->appendKey(decoded, significantUnits, keys_);
    } else {
        entry.searchKey = entry.key;
        entry.searchKeyLength = entry.keyLength;
    }
    entry.searchHead = headOf(keys_.data() + entry.searchKey, entry.searchKeyLength);
    return entry;
}

// Entries that compare equal stay in the order they were added, which is the order of their texts.
bool lbKnown::less(const Entry& a, const Entry& b) const {
    const char* keys = keys_.data();
    const int order = compareKeys(a.head, keys + a.key, a.keyLength, b.head, keys + b.key, b.keyLength);
    return order != 0 ? order < 0 : a.text < b.text;
}

template <typename Texts>
void lbKnown::assignTexts(const Texts& texts) {
    clear();
    size_t bytes = 0;
    for (const auto& text : texts)
        bytes += text.size();
    texts_.reserve(bytes);
    keys_.reserve(bytes + bytes / 4 + 8 * texts.size());
    entries_.reserve(texts.size());
    for (const auto& text : texts)
        entries_.push_back(makeEntry(text));
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) { return less(a, b); });
    searchHeads_.reserve(entries_.size());
    for (const Entry& e : entries_)
        searchHeads_.push_back(e.searchHead);
}

void lbKnown::assign(const std::vector<std::string>& entries) {
    assignTexts(entries);
}

void lbKnown::assign(std::span<const std::string_view> entries) {
    assignTexts(entries);
}

void lbKnown::add(std::string_view text) {
    const Entry entry = makeEntry(text);
    const auto place = std::upper_bound(entries_.begin(), entries_.end(), entry,
                                        [this](const Entry& a, const Entry& b) { return less(a, b); });
    searchHeads_.insert(searchHeads_.begin() + (place - entries_.begin()), entry.searchHead);
    entries_.insert(place, entry);
}

std::string_view lbKnown::entry(size_t index) const {
    const Entry& e = entries_.at(index);
    return std::string_view(texts_).substr(e.text, e.textLength);
}

std::vector<std::string> lbKnown::entries() const {
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i)
        result.emplace_back(entry(i));
    return result;
}

std::optional<size_t> lbKnown::find(std::string_view text) const {
    if (entries_.empty())
        return std::nullopt;
    thread_local std::u16string decoded;
    thread_local std::string key;
    decode8Bit(text, decoded);
    key.clear();
    const uint32_t keyLength = collator_->appendKey(decoded, decoded.size(), key);
    const uint64_t head = headOf(key.data(), keyLength);
    const char* keys = keys_.data();
    const uint64_t* heads = searchHeads_.data();

    long long low = 0;
    long long high = static_cast<long long>(entries_.size()) - 1;
    while (low <= high) {
        const long long middle = (low + high) / 2;
        // Both places the next step may look at, fetched while this one is decided.
        __builtin_prefetch(heads + (low + middle - 1) / 2);
        __builtin_prefetch(heads + (middle + 1 + high) / 2);
        const uint64_t entryHead = heads[middle];
        int order;
        if (head != entryHead) {
            order = head < entryHead ? -1 : 1;
        } else {
            const Entry& e = entries_[static_cast<size_t>(middle)];
            order = compareKeys(head, key.data(), keyLength, e.searchHead, keys + e.searchKey, e.searchKeyLength);
        }
        if (order == 0)
            return static_cast<size_t>(middle);
        if (order < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return std::nullopt;
}

std::string lbKnown::fileText() const {
    std::string text;
    text.reserve(texts_.size() + 2 * entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) {
        text += entry(i);
        text += "\r\n";
    }
    return text;
}

Status LoadUpKnownList(lbKnown& list) {
    return LoadUpKnownList(list, dataFile(KnownListFile));
}

Status LoadUpKnownList(lbKnown& list, const QString& path) {
    list.clear();
    if (!QFileInfo::exists(path))
        return Status::success();
    const std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes)
        return Status::failure("Cannot read the known spammer blacklist " + path.toStdString());
    std::vector<std::string_view> lines;
    forEachFileLine(*bytes, FinalBreak::EndsLine, [&lines](std::string_view line) { lines.push_back(line); });
    list.assign(lines);
    return Status::success();
}

std::optional<SenderChecks::KnownSpammer> isInKnownList(const lbKnown& list, std::string_view senderAddress) {
    if (list.find(senderAddress))
        return SenderChecks::KnownSpammer{"E-mail", std::string(senderAddress)};
    const size_t at = senderAddress.find('@');
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string_view domain = senderAddress.substr(at + 1);
    if (list.find(domain))
        return SenderChecks::KnownSpammer{"Domain", std::string(domain)};
    return std::nullopt;
}

std::vector<std::string> rebuildKnownEntries(const QString& editorText) {
    const QStringList lines = editorLines(editorText);
    std::vector<std::string> entries;
    entries.reserve(static_cast<size_t>(lines.size()));
    std::string previous; // folded
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // The empty line after a final line break is no entry; a last line typed without one is.
        if (i == lines.size() - 1 && lines[i].isEmpty())
            break;
        const QByteArray bytes = lines[i].toUtf8();
        std::string line(bytes.constData(), static_cast<size_t>(bytes.size()));
        std::string folded = FoldCase(line);
        if (folded != previous && !isNumericAddress(line))
            entries.push_back(std::move(line));
        previous = std::move(folded);
    }
    return entries;
}

KnownListEditor::KnownListEditor(lbKnown& list) : KnownListEditor(list, dataFile(KnownListFile)) {}

KnownListEditor::KnownListEditor(lbKnown& list, QString path) : list_(list), path_(std::move(path)) {}

void KnownListEditor::LoadMemoofKnownSpammers() {
    readOnly = true;
    saveEnabled = false;
    cancelEnabled = false;
    const std::optional<std::string> bytes =
        QFileInfo::exists(path_) ? readWholeFile(path_) : std::optional<std::string>();
    if (!bytes) {
        text.clear();
        notice = QString::fromLatin1(MissingNotice);
        buttonsVisible = false;
        return;
    }
    notice.clear();
    buttonsVisible = true;
    QStringList lines;
    forEachFileLine(*bytes, FinalBreak::StartsLine,
                    [&lines](std::string_view line) { lines.push_back(decodeLine(line)); });
    text = lines.join(QChar('\n'));
}

void KnownListEditor::edit() {
    readOnly = false;
    saveEnabled = true;
    cancelEnabled = true;
}

void KnownListEditor::cancel() {
    LoadMemoofKnownSpammers();
}

Status KnownListEditor::save(const std::function<void()>& noticeShown) {
    notice = QString::fromLatin1(RebuildNotice);
    if (noticeShown)
        noticeShown();
    readOnly = true;
    saveEnabled = false;
    cancelEnabled = false;

    list_.clear();
    list_.assign(rebuildKnownEntries(text));
    Status status = Status::success();
    // The file is replaced, never made: without it the rebuilt list lives in memory only.
    if (QFileInfo::exists(path_))
        status = writeFileAtomically(path_, list_.fileText());

    LoadMemoofKnownSpammers();
    return status;
}

int KnownListEditor::lineCount() const {
    return static_cast<int>(editorLines(text).size());
}

} // namespace veltrane
