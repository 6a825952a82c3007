#include "common/settings_file_format.h"

#include <QList>

namespace mereval::common {
namespace {

QList<QByteArray> SplitLines(const QByteArray& contents) {
    QList<QByteArray> lines = contents.split('\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();  // what follows the LF that ends the last line
    }
    return lines;
}

qsizetype FindLine(const QList<QByteArray>& lines, const QString& valueName) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype equals = lines[i].indexOf('=');
        if (equals >= 0 &&
            QString::fromUtf8(lines[i].first(equals)).compare(valueName, Qt::CaseInsensitive) ==
                0) {
            return i;
        }
    }
    return -1;
}

QByteArray Escape(const QByteArray& value) {
    QByteArray escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '\\':
                escaped.append("\\\\");
                break;
            case '\r':
                escaped.append("\\r");
                break;
            case '\n':
                escaped.append("\\n");
                break;
            default:
                escaped.append(c);
        }
    }
    return escaped;
}

QByteArray Unescape(QByteArrayView escaped) {
    QByteArray value;
    value.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const char next = i + 1 < escaped.size() ? escaped[i + 1] : '\0';
        if (escaped[i] == '\\' && (next == '\\' || next == 'r' || next == 'n')) {
            value.append(next == 'r' ? '\r' : next == 'n' ? '\n' : '\\');
            ++i;
        } else {
            value.append(escaped[i]);
        }
    }
    return value;
}

}  // namespace

std::optional<QByteArray> FindSettingValue(const QByteArray& fileContents,
                                           const QString& valueName) {
    const QList<QByteArray> lines = SplitLines(fileContents);
    const qsizetype index = FindLine(lines, valueName);
    if (index < 0) {
        return std::nullopt;
    }
    const QByteArray& line = lines[index];
    QByteArrayView value = QByteArrayView(line).sliced(line.indexOf('=') + 1);
    if (value.endsWith('\r')) {
        value.chop(1);
    }
    return Unescape(value);
}

QByteArray WithSettingValue(const QByteArray& fileContents, const QString& valueName,
                            const QByteArray& value) {
    QList<QByteArray> lines = SplitLines(fileContents);
    const qsizetype index = FindLine(lines, valueName);
    if (index >= 0) {
        QByteArray& line = lines[index];
        line = line.first(line.indexOf('=') + 1) + Escape(value);
    } else {
        lines.append(valueName.toUtf8() + '=' + Escape(value));
    }
    return lines.join('\n') + '\n';
}

}  // namespace mereval::common
