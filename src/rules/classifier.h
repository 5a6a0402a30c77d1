#pragma once

#include "message/messageentry.h"
#include "rules/rulebook.h"
#include "rules/senderchecks.h"
#include "rules/textmatch.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

// Decides each message's mark from the rule book: exceptions, size, subject, sender and header
// rules, the domain check and the blacklist, in that order. Counts hits on the rules that match
// and, in explain mode, counts nothing and writes one reason line per match instead.
class Classifier {
public:
    explicit Classifier(RuleBook& rules);

    // Steps 6 and 7; without them only the rule lists and the size limits decide.
    void setSenderChecks(SenderChecks* checks) { senderChecks_ = checks; }
    // The number (1 to 12) of the mailbox being checked, for "To does not contain" rules.
    void setMailboxNumber(std::function<int()> serverToIndex) { mailboxNumber_ = std::move(serverToIndex); }

    bool ExplainMode = false;
    std::vector<std::string> ReasonLines; // cleared and read by the caller

    // Classifies entry `index` (0-based), or every entry in order when it is -1. Entry i reads the
    // header lines of infos[i]; the mark it has now is where the classification starts.
    void MarkForDeletion(std::vector<MessageEntry>& entries, const std::vector<MessageInfo>& infos, int index);

    void whyAdd(bool deletes, const std::string& name, bool caseSensitive, const std::string& matches,
                const std::string& condition);
    void whyExcept(const std::string& name, const std::string& condition, bool caseSensitive,
                   const std::string& matches);

private:
    struct Verdict {
        bool matched = false;
        bool deletes = false;
    };
    // The single tests on the message being classified, in the order MarkForDeletion runs them.
    std::optional<int> qIsInException();
    Verdict tooBigSmall();
    Verdict qMarkThisSubject();
    Verdict qmarkThisSender();
    Verdict qMarkThisHeader();

    struct Pattern {
        std::string raw;
        std::string folded;
    };
    // A rule row read once from its list, kept until the list changes.
    struct Rule {
        int row = 0;
        std::string what;          // column 1 (column 0 of an exception)
        std::string conditionText; // the stored condition name
        std::optional<Condition> condition;
        Pattern pattern;
        bool caseSensitive = false;
        bool deletes = false;
        bool wholeWordPossible = false; // the pattern is no blank text and holds no delimiter
        // Header list specials and exception targets.
        enum class Kind {
            Plain,
            ToDoesNotContain,
            SenderNotReplyTo,
            SenderIsTo,
            Domain,
            Address,
            Subject,
            AnyHeader,
            Field
        };
        Kind kind = Kind::Plain;
        int mailbox = -1; // "To does not contain": the mailbox number after the separator
    };
    struct CompiledList {
        const RuleList* list = nullptr;
        uint64_t revision = UINT64_MAX;
        std::vector<Rule> rules;
    };
    // The message being classified, with the folded forms the rules compare against.
    struct Message {
        const MessageEntry* entry = nullptr;
        const HeaderLines* headers = nullptr;
        std::string foldedSubject;
        std::vector<std::string> foldedLines; // reused between messages
        size_t examinedLines = 0;             // every header line but the last
    };

    void compile();
    void compileList(CompiledList& compiled, const RuleList& list);
    void prepare(const MessageEntry& entry, const HeaderLines& headers);
    void classify(std::vector<MessageEntry>& entries, size_t index, const HeaderLines& headers);
    bool headerRowMatches(const Rule& rule, bool& stop);
    bool specialHeaderMatches(const Rule& rule);
    void bump(RuleList& list, int row);
    void scanResult(Verdict& verdict, bool deletes, bool& stop) const;

    static bool matches(const Rule& rule, std::string_view raw, std::string_view folded);

    RuleBook& rules_;
    SenderChecks* senderChecks_ = nullptr;
    std::function<int()> mailboxNumber_;
    CompiledList subject_, sender_, header_, exceptions_;
    Message message_;
};

// One reason line: the prefix, name and condition, and the quoted pattern with the case suffix
// when there is a pattern.
std::string formatReasonLine(const std::string& prefix, const std::string& name, const std::string& condition,
                             const std::string& pattern, bool caseSensitive);

} // namespace veltrane
