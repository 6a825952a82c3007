#pragma once

#include <QByteArray>
#include <QString>

namespace mereval::common {

// The program's single-byte code page, Windows-1257 (Baltic): wire texts,
// log.txt and raw receipt bytes. The few bytes that the code page leaves
// undefined map to the code points of the same value, so every byte string
// survives a round trip through QString unchanged.
QString FromCodePage(const QByteArray& bytes);

// Characters that the code page cannot hold become "?".
QByteArray ToCodePage(const QString& text);

}  // namespace mereval::common
