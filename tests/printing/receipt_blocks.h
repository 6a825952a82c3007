#pragma once

#include "session/message_codec.h"

#include <QByteArray>
#include <QList>

namespace mereval::test {

// A receipt block: a frame whose fields 1..n are the texts.
inline QByteArray ReceiptBlock(const QList<QByteArray>& texts) {
    session::MessageCodec codec;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        codec.SetField(static_cast<qint16>(i + 1), texts[i]);
    }
    return codec.Build();
}

}  // namespace mereval::test
