#pragma once

#include <QByteArray>

namespace mereval::test {

// A request as it must stand on the wire, written out apart from the codec
// so that the codec is checked, not repeated (short values only).
inline QByteArray WireField(int index, const QByteArray& value) {
    return QByteArray(1, char((index << 3) | 2)) + char(value.size()) + value;
}

inline QByteArray WireFrame(const char* messageCode, const QByteArray& pos,
                            const QByteArray& session, const QByteArray& body) {
    const QByteArray all =
        WireField(1, messageCode) + WireField(2, pos) + WireField(3, session) + body;
    return all.size() < 0x80
               ? char(all.size()) + all
               : QByteArray(1, char(0x80 | (all.size() & 0x7F))) + char(all.size() >> 7) + all;
}

}  // namespace mereval::test
