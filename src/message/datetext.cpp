#include "message/datetext.h"

#include <QLocale>

namespace veltrane {

QString fix2000(const QString& format) {
    if (format.contains("yyyy"))
        return format;
    const qsizetype at = format.indexOf("yy");
    if (at < 0)
        return format;
    QString fixed = format;
    fixed.insert(at, "yy");
    return fixed;
}

QString shortDateFormat() {
    return fix2000(QLocale().dateFormat(QLocale::ShortFormat));
}

QString longTimeFormat() {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    // Drop the zone fields ("t", "tt", "ttt", "tttt") outside quoted literals.
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == 't')
            continue;
        out += c;
    }
    return out.trimmed();
}

QString dateTimeText(const QDateTime& dateTime) {
    const QLocale locale;
    QString text = locale.toString(dateTime.date(), shortDateFormat());
    if (dateTime.time() != QTime(0, 0))
        text += " " + locale.toString(dateTime.time(), longTimeFormat());
    return text;
}

} // namespace veltrane
