#pragma once

#include "base/status.h"
#include "rules/rulelist.h"
#include "rules/ruleoptions.h"

#include <QString>

namespace veltrane {

// The user's rules: four ordered lists and the options beside them, loaded once at start and
// read in place by the classification.
struct RuleBook {
    RuleList subject{RuleListKind::Subject};
    RuleList header{RuleListKind::Header};
    RuleList sender{RuleListKind::Sender};
    RuleList exceptions{RuleListKind::Exception};
    RuleOptions options;
};

namespace RuleFile {
inline const QString Subject = QStringLiteral("subj.lst");
inline const QString Header = QStringLiteral("header.lst");
inline const QString Sender = QStringLiteral("from.lst");
inline const QString Exceptions = QStringLiteral("except.lst");
inline const QString Options = QStringLiteral("veltrane.ini");
} // namespace RuleFile

// Reads the four lists and then the options from the folder. The first failure ends the
// reading: what comes after it keeps its previous content, and the failure's text is returned
// for the caller to show.
Status readSettings(RuleBook& book, const QString& folder);

// Writes the four lists and the options. A file that cannot be written keeps its previous
// content; the first such failure is returned, though callers normally stay silent about it.
Status Savesettings(const RuleBook& book, const QString& folder);

} // namespace veltrane
