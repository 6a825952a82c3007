#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace mereval::common {

// yymmdd; 4 December 2026 gives "261204".
QString ShortDateCode(const QDate& date);

// "04. detsember 2026" for a date, a date-time, or a text that reads as a
// date (ISO "yyyy-MM-dd" or "d.M.yyyy"); "" for anything else.
QString LongDateText(const QVariant& value);

// The little-endian signed 32-bit number of a four-byte field; 0 for any
// other length.
qint32 LongFromBytes(const QByteArray& bytes);

// Rounds half away from zero to a whole multiple of unit; the 1e-13 nudge
// makes 1.005 * 100 (held as 100.4999...) round to 101.
double RoundToUnit(double x, double unit);

// Display forms of a twelve-character yymmddhhnnss code: "31.03.2009",
// "23:59:59" and both joined by a blank. The century is always 20 and the
// characters are copied, not checked; any other length gives "" (and " "
// for the joined form).
QString CodeDateText(const QString& code);
QString CodeTimeText(const QString& code);
QString CodeDateTimeText(const QString& code);

// Whether text reads as a number, and its value: blanks around it, an
// optional sign, digits with at most one decimal separator ("." or ","),
// at least one digit. No exponents, no thousands separators, no hex: what a
// cashier or an administrator types, nothing that would surprise them.
bool ParseNumericText(const QString& text, double* value);

}  // namespace mereval::common
