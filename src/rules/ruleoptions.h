#pragma once

#include "base/status.h"

#include <QString>
#include <string>

namespace veltrane {

// The options beside the four rule lists, kept in veltrane.ini.
struct RuleOptions {
    bool smallerOn = false;
    long long smallerLimit = 100; // bytes, 0 to 100000
    bool smallerDeletes = true;   // true: check mark (delete); false: question
    bool largerOn = false;
    long long largerLimit = 20000; // bytes, 0 to 99999999
    bool largerDeletes = true;
    bool blacklistOn = true;
    bool domainCheckOn = true;
    bool domainCheckDeletes = false;  // true: an unknown domain is marked for deletion
    std::string unknownDomains = "0"; // how many unknown domains were found, decimal text

    bool operator==(const RuleOptions&) const = default;
};

// Reads the options from the ini file in their fixed order; absent keys keep their defaults.
RuleOptions readRuleOptions(const QString& iniPath);
// Writes every option; other sections and keys of the file are kept.
Status writeRuleOptions(const QString& iniPath, const RuleOptions& options);

// Adds one to the unknown-domain counter (a text that is no number counts as 0).
void bumpUnknown(RuleOptions& options);

} // namespace veltrane
