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

// What the receipt printer must receive for Windows-1257 receipt bytes: the
// eight letters ÄäÖöÜüÕõ as its own codes, every other byte as it is.
inline QByteArray PrinterBytes(const QByteArray& receipt) {
    static const QByteArray from("\xC4\xE4\xD6\xF6\xDC\xFC\xD5\xF5");
    static const QByteArray to("\x8E\x84\x99\x94\x9A\x81\x93\x93");
    QByteArray bytes = receipt;
    for (char& byte : bytes) {
        const qsizetype at = from.indexOf(byte);
        if (at >= 0) {
            byte = to[at];
        }
    }
    return bytes;
}

}  // namespace mereval::test
