#pragma once

#include <QDateTime>
#include <QString>

namespace veltrane {

// A short date format with two-digit years gets four (M/d/yy becomes M/d/yyyy).
QString fix2000(const QString& shortDateFormat);

// The default locale's short date format with four-digit years.
QString shortDateFormat();

// The default locale's long time format without a time zone: a date from a mail header is the
// sender's local time, so naming our own zone beside it would be wrong.
QString longTimeFormat();

// Short date, a space and long time; the time is left out at exactly midnight.
QString dateTimeText(const QDateTime& dateTime);

} // namespace veltrane
