#include "rules/ruleoptions.h"

#include "base/inifile.h"

#include <charconv>

namespace veltrane {

RuleOptions readRuleOptions(const QString& iniPath) {
    const IniFile ini = IniFile::load(iniPath);
    RuleOptions o;
    o.blacklistOn = ini.boolean("Known", "QMonitor", true);
    o.smallerOn = ini.boolean("Smaller", "QSmaller", false);
    o.smallerLimit = ini.integer("Smaller", "Num", 100);
    o.smallerDeletes = ini.boolean("Smaller", "Check", true);
    o.largerOn = ini.boolean("Larger", "QLarger", false);
    o.largerLimit = ini.integer("Larger", "Num", 20000);
    o.largerDeletes = ini.boolean("Larger", "Check", true);
    o.domainCheckOn = ini.boolean("Known", "Valid", true);
    o.domainCheckDeletes = ini.boolean("Known", "Question", false);
    o.unknownDomains = ini.value("Known", "Num").value_or("0");
    return o;
}

Status writeRuleOptions(const QString& iniPath, const RuleOptions& o) {
    IniFile ini = IniFile::load(iniPath);
    ini.setBoolean("Smaller", "QSmaller", o.smallerOn);
    ini.setInteger("Smaller", "Num", o.smallerLimit);
    ini.setBoolean("Smaller", "Check", o.smallerDeletes);
    ini.setBoolean("Larger", "QLarger", o.largerOn);
    ini.setInteger("Larger", "Num", o.largerLimit);
    ini.setBoolean("Larger", "Check", o.largerDeletes);
    ini.setBoolean("Known", "QMonitor", o.blacklistOn);
    ini.setBoolean("Known", "Valid", o.domainCheckOn);
    // "Question" holds true when the check mark (delete) is chosen, despite its name.
    ini.setBoolean("Known", "Question", o.domainCheckDeletes);
    ini.setValue("Known", "Num", o.unknownDomains);
    return ini.save(iniPath);
}

void bumpUnknown(RuleOptions& options) {
    long long count = 0;
    const std::string& text = options.unknownDomains;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (ec != std::errc() || end != text.data() + text.size() || count < 0)
        count = 0;
    options.unknownDomains = std::to_string(count + 1);
}

} // namespace veltrane
