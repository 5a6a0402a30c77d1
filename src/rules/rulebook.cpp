#include "rules/rulebook.h"

#include "rules/listfile.h"

namespace veltrane {

Status readSettings(RuleBook& book, const QString& folder) {
    const std::pair<RuleList*, QString> lists[] = {
        {&book.subject, RuleFile::Subject},
        {&book.header, RuleFile::Header},
        {&book.sender, RuleFile::Sender},
        {&book.exceptions, RuleFile::Exceptions},
    };
    for (const auto& [list, name] : lists) {
        Status status = readListFile(folder + "/" + name, *list);
        if (!status.ok())
            return status;
    }
    book.options = readRuleOptions(folder + "/" + RuleFile::Options);
    return Status::success();
}

Status Savesettings(const RuleBook& book, const QString& folder) {
    Status first = Status::success();
    auto keep = [&first](Status status) {
        if (first.ok() && !status.ok())
            first = std::move(status);
    };
    keep(writeListFile(folder + "/" + RuleFile::Subject, book.subject));
    keep(writeListFile(folder + "/" + RuleFile::Header, book.header));
    keep(writeListFile(folder + "/" + RuleFile::Sender, book.sender));
    keep(writeListFile(folder + "/" + RuleFile::Exceptions, book.exceptions));
    keep(writeRuleOptions(folder + "/" + RuleFile::Options, book.options));
    return first;
}

} // namespace veltrane
