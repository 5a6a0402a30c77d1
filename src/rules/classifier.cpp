#include "rules/classifier.h"

#include "message/headers.h"
#include "message/markstate.h"

#include <algorithm>
#include <charconv>

namespace veltrane {

namespace {

const char* const DeletePrefix = "Delete   : ";
const char* const QuestionPrefix = "Question : ";
const char* const ExceptionPrefix = "Exception : ";

bool allowedIn(RuleListKind kind, Condition c) {
    switch (kind) {
    case RuleListKind::Sender:
        return true;
    case RuleListKind::Subject:
        return c <= Condition::IsUppercase;
    case RuleListKind::Header:
    case RuleListKind::Exception:
        return c <= Condition::EndsWith;
    }
    return false;
}

std::string_view afterFirstAt(std::string_view address) {
    const size_t at = address.find('@');
    return at == std::string_view::npos ? address : address.substr(at + 1);
}

std::string_view beforeFirstAt(std::string_view address) {
    return address.substr(0, address.find('@'));
}

std::optional<long long> decimal(const std::string& text) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string formatReasonLine(const std::string& prefix, const std::string& name, const std::string& condition,
                             const std::string& pattern, bool caseSensitive) {
    if (pattern.empty())
        return prefix + " " + name + " " + condition;
    return prefix + " " + name + " " + condition + " \"" + pattern + "\" " + (caseSensitive ? " (Case Sensitive)" : "");
}

Classifier::Classifier(RuleBook& rules) : rules_(rules), mailboxNumber_([] { return 0; }) {}

void Classifier::whyAdd(bool deletes, const std::string& name, bool caseSensitive, const std::string& matches,
                        const std::string& condition) {
    if (ExplainMode)
        ReasonLines.push_back(
            formatReasonLine(deletes ? DeletePrefix : QuestionPrefix, name, condition, matches, caseSensitive));
}

void Classifier::whyExcept(const std::string& name, const std::string& condition, bool caseSensitive,
                           const std::string& matches) {
    if (ExplainMode)
        ReasonLines.push_back(formatReasonLine(ExceptionPrefix, name, condition, matches, caseSensitive));
}

void Classifier::bump(RuleList& list, int row) {
    if (!ExplainMode)
        BumpUpGrid(list, row);
}

// ---------------------------------------------------------------------------------------------
// Rules are read from their cells once and kept until their list changes; hit counts do not
// count as a change.

void Classifier::compileList(CompiledList& compiled, const RuleList& list) {
    if (compiled.list == &list && compiled.revision == list.revision())
        return;
    compiled.list = &list;
    compiled.revision = list.revision();
    compiled.rules.clear();
    const RuleListKind kind = list.kind();
    for (int row = 1; row < list.rowCount(); ++row) {
        Rule rule;
        rule.row = row;
        if (kind == RuleListKind::Exception) {
            rule.what = list.cell(ExceptionColumn::What, row);
            if (rule.what.empty())
                continue; // an empty exception row is skipped, the rows after it still count
            rule.conditionText = list.cell(ExceptionColumn::Condition, row);
            rule.pattern.raw = list.cell(ExceptionColumn::Matches, row);
            rule.caseSensitive = list.flag(ExceptionColumn::Case, row);
            if (rule.what == RuleText::DomainName)
                rule.kind = Rule::Kind::Domain;
            else if (rule.what == RuleText::EmailAddress)
                rule.kind = Rule::Kind::Address;
            else if (rule.what == RuleText::Subject)
                rule.kind = Rule::Kind::Subject;
            else if (rule.what == RuleText::AnyHeader)
                rule.kind = Rule::Kind::AnyHeader;
            else
                rule.kind = Rule::Kind::Field;
        } else {
            rule.what = list.cell(1, row);
            if (rule.what.empty())
                break; // the first row without a "What" ends the list
            rule.deletes = list.flag(SubjectColumn::Delete, row);
            if (kind == RuleListKind::Sender) {
                rule.conditionText = list.cell(SenderColumn::Condition, row);
                rule.pattern.raw = list.cell(SenderColumn::Matches, row);
            } else {
                rule.conditionText = rule.what;
                rule.pattern.raw = list.cell(SubjectColumn::Matches, row);
                rule.caseSensitive = list.flag(SubjectColumn::Case, row);
            }
            if (kind == RuleListKind::Header && rule.what == RuleText::Sender) {
                rule.kind = rule.pattern.raw == RuleText::DoesNotMatchReplyTo ? Rule::Kind::SenderNotReplyTo
                                                                              : Rule::Kind::SenderIsTo;
            } else if (kind == RuleListKind::Header && rule.what == RuleText::ToDoesNotContain) {
                rule.kind = Rule::Kind::ToDoesNotContain;
                // "address - MailBox #n": a row without a readable number applies to no mailbox.
                const size_t sep = rule.pattern.raw.rfind(RuleText::MailboxSeparator);
                if (sep != std::string::npos) {
                    rule.mailbox = static_cast<int>(
                        decimal(rule.pattern.raw.substr(sep + RuleText::MailboxSeparator.size())).value_or(-1));
                    rule.pattern.raw.resize(sep);
                }
            }
        }
        rule.pattern.folded = FoldCase(rule.pattern.raw);
        rule.wholeWordPossible =
            !IsBlank(rule.pattern.raw) && std::none_of(rule.pattern.raw.begin(), rule.pattern.raw.end(), IsDelimiter);
        rule.condition = conditionFromName(rule.conditionText);
        if (rule.condition && !allowedIn(kind, *rule.condition))
            rule.condition.reset();
        compiled.rules.push_back(std::move(rule));
    }
}

void Classifier::compile() {
    compileList(exceptions_, rules_.exceptions);
    compileList(subject_, rules_.subject);
    compileList(sender_, rules_.sender);
    compileList(header_, rules_.header);
}

bool Classifier::matches(const Rule& rule, std::string_view raw, std::string_view folded) {
    if (!rule.condition)
        return false;
    // Without the case flag both sides are compared in folded form, which is exactly what the
    // conditions do when they fold for themselves.
    // The conditions without a pattern look at the text itself ("Is UPPERCASE" would hold for
    // every folded text).
    const bool exact = rule.caseSensitive || conditionIgnoresPattern(*rule.condition);
    const std::string_view text = exact ? raw : folded;
    const std::string_view pattern = exact ? rule.pattern.raw : rule.pattern.folded;
    switch (*rule.condition) {
    case Condition::Contains:
        return !pattern.empty() && text.find(pattern) != std::string_view::npos;
    case Condition::ContainsWholeWord:
        // Same result as WholeWordCheck with the pattern's own checks done once per rule: a text
        // holding a non-blank word is never blank itself.
        if (!rule.wholeWordPossible)
            return false;
        for (size_t at = text.find(pattern); at != std::string_view::npos; at = text.find(pattern, at + 1)) {
            const size_t end = at + pattern.size();
            if ((at == 0 || IsDelimiter(text[at - 1])) && (end == text.size() || IsDelimiter(text[end])))
                return true;
        }
        return false;
    default:
        return conditionHolds(*rule.condition, text, pattern, true);
    }
}

void Classifier::prepare(const MessageEntry& entry, const HeaderLines& headers) {
    message_.entry = &entry;
    message_.headers = &headers;
    message_.foldedSubject = entry.subject;
    for (char& c : message_.foldedSubject)
        c = FoldChar(c);
    message_.examinedLines = headers.empty() ? 0 : headers.size() - 1;
    if (message_.foldedLines.size() < message_.examinedLines)
        message_.foldedLines.resize(message_.examinedLines);
    for (size_t i = 0; i < message_.examinedLines; ++i) {
        std::string& folded = message_.foldedLines[i];
        folded.assign(headers[i]);
        for (char& c : folded)
            c = FoldChar(c);
    }
}

// ---------------------------------------------------------------------------------------------

std::optional<int> Classifier::qIsInException() {
    const MessageEntry& entry = *message_.entry;
    const HeaderLines& headers = *message_.headers;
    for (const Rule& rule : exceptions_.rules) {
        bool matched = false;
        switch (rule.kind) {
        case Rule::Kind::Domain:
        case Rule::Kind::Address:
            matched = rule.kind == Rule::Kind::Domain ? EndsWithText(entry.sender, rule.pattern.raw, false)
                                                      : StartsWithText(entry.sender, rule.pattern.raw, false);
            if (matched)
                whyExcept(rule.what, std::string(ConditionName::Equals), false, rule.pattern.raw);
            break;
        case Rule::Kind::Subject:
            matched = matches(rule, entry.subject, message_.foldedSubject);
            if (matched)
                whyExcept(rule.what, rule.conditionText, rule.caseSensitive, rule.pattern.raw);
            break;
        case Rule::Kind::AnyHeader:
            for (size_t i = 0; i < message_.examinedLines; ++i) {
                if (!matches(rule, headers[i], message_.foldedLines[i]))
                    continue;
                matched = true;
                whyExcept(std::string(RuleText::AnyHeader) + " " + headers[i], rule.conditionText, rule.caseSensitive,
                          rule.pattern.raw);
                if (!ExplainMode)
                    break;
            }
            break;
        default: {
            const std::string value = GetHeader(headers, rule.what);
            matched = matches(rule, value, FoldCase(value));
            if (matched)
                whyExcept(rule.what + " " + value, rule.conditionText, rule.caseSensitive, rule.pattern.raw);
            break;
        }
        }
        if (matched) {
            bump(rules_.exceptions, rule.row);
            // A value typed by hand that is no number still accepts the message, with the default icon.
            return exceptionIcon(rules_.exceptions, rule.row).value_or(Mark::FirstException);
        }
    }
    return std::nullopt;
}

Classifier::Verdict Classifier::tooBigSmall() {
    const auto size = decimal(message_.entry->size);
    if (!size)
        return {};
    const RuleOptions& o = rules_.options;
    if (o.smallerOn && *size < o.smallerLimit) {
        whyAdd(o.smallerDeletes, "Size", false, std::to_string(o.smallerLimit), "smaller than");
        return {true, o.smallerDeletes};
    }
    if (o.largerOn && *size > o.largerLimit) {
        whyAdd(o.largerDeletes, "Size", false, std::to_string(o.largerLimit), "larger than");
        return {true, o.largerDeletes};
    }
    return {};
}

void Classifier::scanResult(Verdict& verdict, bool deletes, bool& stop) const {
    verdict.matched = true;
    verdict.deletes = verdict.deletes || deletes;
    // A question does not stop the scan: a later rule may still ask for deletion.
    stop = !ExplainMode && deletes;
}

Classifier::Verdict Classifier::qMarkThisSubject() {
    Verdict verdict;
    for (const Rule& rule : subject_.rules) {
        if (!matches(rule, message_.entry->subject, message_.foldedSubject))
            continue;
        bump(rules_.subject, rule.row);
        whyAdd(rule.deletes, std::string(RuleText::Subject), rule.caseSensitive,
               conditionIgnoresPattern(*rule.condition) ? std::string() : rule.pattern.raw, rule.conditionText);
        bool stop = false;
        scanResult(verdict, rule.deletes, stop);
        if (stop)
            break;
    }
    return verdict;
}

Classifier::Verdict Classifier::qmarkThisSender() {
    Verdict verdict;
    const std::string& address = message_.entry->sender;
    const std::string folded = FoldCase(address);
    for (const Rule& rule : sender_.rules) {
        if (!rule.condition)
            continue;
        // Sender rules never tell case apart. The domain rows test what follows the first at sign;
        // the address rows test the whole address, but the character-class conditions look at the
        // part before the at sign only.
        std::string_view raw = address, fold = folded;
        if (rule.what == RuleText::DomainName) {
            raw = afterFirstAt(raw);
            fold = afterFirstAt(fold);
        } else if (*rule.condition == Condition::IsUppercase || *rule.condition >= Condition::AllNumeric) {
            raw = beforeFirstAt(raw);
            fold = beforeFirstAt(fold);
        }
        if (!matches(rule, raw, fold))
            continue;
        bump(rules_.sender, rule.row);
        whyAdd(rule.deletes,
               rule.what == RuleText::DomainName ? std::string(RuleText::DomainName)
                                                 : std::string(RuleText::EmailAddress),
               false, conditionIgnoresPattern(*rule.condition) ? std::string() : rule.pattern.raw, rule.conditionText);
        bool stop = false;
        scanResult(verdict, rule.deletes, stop);
        if (stop)
            break;
    }
    return verdict;
}

bool Classifier::specialHeaderMatches(const Rule& rule) {
    const HeaderLines& headers = *message_.headers;
    const std::string from = SplitAddress(GetHeader(headers, "From")).address;
    switch (rule.kind) {
    case Rule::Kind::ToDoesNotContain: {
        if (rule.mailbox != mailboxNumber_())
            return false;
        const std::string to = GetHeader(headers, "To:");
        if (to.empty() || ContainsText(to, rule.pattern.raw, false))
            return false;
        whyAdd(rule.deletes, "Header \"" + to + "\"", rule.caseSensitive, rule.pattern.raw, rule.conditionText);
        return true;
    }
    case Rule::Kind::SenderNotReplyTo: {
        const std::string replyTo = GetHeader(headers, "Reply-to:");
        if (replyTo.empty() || ContainsText(replyTo, from, false) || ContainsText(from, replyTo, false))
            return false;
        whyAdd(rule.deletes, "Header", rule.caseSensitive, replyTo + " does not match Reply-to " + from,
               std::string(RuleText::Sender));
        return true;
    }
    default: {
        const std::string to = SplitAddress(GetHeader(headers, "To:")).address;
        if (to.empty() || !(ContainsText(to, from, false) || ContainsText(from, to, false)))
            return false;
        whyAdd(rule.deletes, "Header", rule.caseSensitive, to + " equals To field " + from,
               std::string(RuleText::Sender));
        return true;
    }
    }
}

// Tries one header rule; `stop` tells the scan to end (a delete rule that matched, outside
// explain mode).
bool Classifier::headerRowMatches(const Rule& rule, bool& stop) {
    stop = false;
    if (rule.kind != Rule::Kind::Plain) {
        if (!specialHeaderMatches(rule))
            return false;
        bump(rules_.header, rule.row);
        stop = !ExplainMode && rule.deletes;
        return true;
    }
    bool matched = false;
    const HeaderLines& headers = *message_.headers;
    for (size_t i = 0; i < message_.examinedLines; ++i) {
        if (!matches(rule, headers[i], message_.foldedLines[i]))
            continue;
        matched = true;
        // Every matching line counts: a question rule that matches three lines gets three hits.
        bump(rules_.header, rule.row);
        whyAdd(rule.deletes, "Header", rule.caseSensitive, rule.pattern.raw, rule.conditionText);
        if (!ExplainMode && rule.deletes) {
            stop = true;
            break;
        }
    }
    return matched;
}

Classifier::Verdict Classifier::qMarkThisHeader() {
    Verdict verdict;
    for (const Rule& rule : header_.rules) {
        bool stop = false;
        if (!headerRowMatches(rule, stop))
            continue;
        bool ignored = false;
        scanResult(verdict, rule.deletes, ignored);
        if (stop)
            break;
    }
    return verdict;
}

// ---------------------------------------------------------------------------------------------

void Classifier::classify(std::vector<MessageEntry>& entries, size_t index, const HeaderLines& headers) {
    MessageEntry* entry = &entries[index];
    prepare(*entry, headers);
    if (const auto icon = qIsInException()) {
        entry->mark = *icon; // an exception beats every other test
        return;
    }
    if (const Verdict size = tooBigSmall(); size.matched)
        entry->mark = size.deletes ? Mark::Delete : Mark::Question;

    auto apply = [&entry](const Verdict& verdict) {
        if (!verdict.matched)
            return;
        if (verdict.deletes)
            entry->mark = Mark::Delete;
        else if (entry->mark != Mark::Delete)
            entry->mark = Mark::Question;
    };
    // Once a message is to be deleted nothing more can change that; only explain mode goes on to
    // find every reason.
    auto stillOpen = [this, &entry] { return ExplainMode || entry->mark != Mark::Delete; };

    if (stillOpen())
        apply(qMarkThisSubject());
    if (stillOpen())
        apply(qmarkThisSender());
    if (stillOpen())
        apply(qMarkThisHeader());
    if (stillOpen() && rules_.options.domainCheckOn && senderChecks_) {
        const auto domain = senderChecks_->unknownSenderDomain(headers);
        // The lookup ran the event loop: a Cancel may have emptied the list meanwhile, and the
        // header lines may be gone with it.
        if (index >= entries.size())
            return;
        entry = &entries[index];
        if (domain) {
            const bool deletes = rules_.options.domainCheckDeletes;
            whyAdd(deletes, "Reply to or From (" + *domain + ") ", false, "Unknown domain", "is an");
            apply({true, deletes});
        }
    }
    if (stillOpen() && rules_.options.blacklistOn && senderChecks_) {
        if (const auto known = senderChecks_->knownSpammer(entry->sender)) {
            if (entry->mark != Mark::Delete)
                entry->mark = Mark::KnownSpammer;
            whyAdd(true, known->kind, false, std::string(),
                   "\"" + known->matched + "\" is on the KNOWN SPAMMER BLACKLIST (you may edit if this is in error)");
        }
    }
}

void Classifier::MarkForDeletion(std::vector<MessageEntry>& entries, const std::vector<MessageInfo>& infos, int index) {
    compile();
    static const HeaderLines NoHeaders;
    auto headersOf = [&infos](size_t i) -> const HeaderLines& {
        return i < infos.size() ? infos[i].headerLines : NoHeaders;
    };
    if (index == -1) {
        for (size_t i = 0; i < entries.size(); ++i) {
            // The domain check may run the event loop; a rule edited meanwhile is picked up here.
            compile();
            classify(entries, i, headersOf(i));
        }
    } else if (index >= 0 && static_cast<size_t>(index) < entries.size()) {
        classify(entries, static_cast<size_t>(index), headersOf(static_cast<size_t>(index)));
    }
}

} // namespace veltrane
