#pragma once

#include "base/status.h"
#include "rules/rulelist.h"

#include <QString>
#include <string>

namespace veltrane {

// The list file: "columns,rows", one "cw index,width" line per column, then one
// "column,row,text" line per non-empty cell, every line ended by CR LF. Line breaks inside a
// cell are written as tab (CR) and backspace (LF) so a cell never breaks its line.
std::string listFileText(const RuleList& list);

// Reads list file bytes into the list and brings the list to its layout. `path` only names the
// file in error texts.
Status parseListFile(const std::string& bytes, const QString& path, RuleList& list);

// A missing file gives a list without rules and no error.
Status readListFile(const QString& path, RuleList& list);
Status writeListFile(const QString& path, const RuleList& list);

} // namespace veltrane
