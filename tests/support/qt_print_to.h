#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Readable Qt values in GoogleTest's failure messages: texts quoted, bytes in
// hex so that control and code-page bytes stay visible.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << bytes.toHex(' ').toStdString();
}
QT_END_NAMESPACE
