#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mereval::paysim {

enum class Direction { In, Out };

// Readable lines for the frames at the front of a stream of bytes that
// crossed the wire, one per message: the direction, the code, then each field
// as quoted text, or as a number with its hex bytes where the field is
// binary. Card data (field 5 of "0001", and of "0011", which may carry a
// swipe or the cardholder's PIN) is masked as MaskCardText does. Undecodable bytes are counted,
// never shown. The frames are taken from stream; an incomplete one stays.
QStringList DescribeTraffic(Direction direction, QByteArray& stream);

// All but the last four characters replaced by "*"; a text of at most 12
// characters, which may be a PIN, replaced whole.
QString MaskCardText(const QString& text);

}  // namespace mereval::paysim
