#pragma once

#include "session/message_codec.h"

#include <QByteArray>
#include <QMap>
#include <QtGlobal>

#include <utility>
#include <vector>

namespace mereval::paysim {

using FieldList = std::vector<std::pair<qint16, QByteArray>>;

// The frame of the fields; a later entry with the same index wins.
QByteArray BuildFrame(const FieldList& fields);

// The fields that a decoded message really holds, by index: an empty field
// is present, an index that was never sent is not.
QMap<qint16, QByteArray> PresentFields(const session::MessageCodec& codec);

}  // namespace mereval::paysim
