#pragma once

#include "session/message_catalogue.h"

#include <QByteArray>
#include <QMap>
#include <QtGlobal>

namespace mereval::paysim {

// One decoded message as the simulator received it.
struct ReceivedMessage {
    int connection = 0;
    QByteArray frame;                 // the bytes as they arrived
    QMap<qint16, QByteArray> fields;  // only the fields present

    QByteArray Code() const { return fields.value(session::catalogue::field::Code); }
    QByteArray Field(qint16 index) const { return fields.value(index); }
    bool Has(qint16 index) const { return fields.contains(index); }
};

}  // namespace mereval::paysim
