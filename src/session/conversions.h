#pragma once

#include <QByteArray>
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

QByteArray LongToBytes(qint32 value);
QByteArray DoubleToBytes(double value);
// 0 unless bytes holds exactly eight bytes.
double DoubleFromBytes(const QByteArray& bytes);

}  // namespace mereval::session
