#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QtGlobal>

// Readers of what the cashier typed and the byte forms that numbers take on
// the wire (little-endian, one byte per character).
namespace mereval::session {

// Reads an amount such as "12,34", "-0.01" or "15": an optional "-", digits,
// and at most one separator ("," or ".") followed by exactly two characters.
// On a rejected text resultAmount is left alone, except that a character
// that is neither a digit nor a separator sets it to 0.
bool GetAmount(const QString& amountString, double& resultAmount);

// The number that text reads as, rounded half to even, when it lies in
// lowest..highest; fallback otherwise.
qint32 ParseLongInRange(const QString& text, qint32 lowest, qint32 highest, qint32 fallback);

// The digits of |value|, padded with "0" on the left or cut to the last
// width digits; "" for width 0.
QString FormatFixedWidth(qint32 value, qint16 width);

// A number as the regional settings print it for people, as in the log:
// up to 15 significant digits with the locale's decimal sign, no digit
// grouping, an exponent only for what 15 digits cannot show ("1E+32").
QString RegionalNumberText(double value, const QLocale& locale = QLocale::system());

QByteArray LongToBytes(qint32 value);
QByteArray DoubleToBytes(double value);
// 0 unless bytes holds exactly eight bytes.
double DoubleFromBytes(const QByteArray& bytes);

}  // namespace mereval::session
