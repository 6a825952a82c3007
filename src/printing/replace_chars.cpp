#include "printing/replace_chars.h"

#include "common/code_page.h"

#include <algorithm>

namespace mereval::printing {

QString ReceiptCharsTo() {
    return common::FromCodePage(QByteArrayLiteral("\x8E\x84\x99\x94\x9A\x81\x93\x93"));
}

QString ReplaceChars(const QString& text, QStringView fromSet, QStringView toSet) {
    QString copy = text;
    const qsizetype pairs = std::min(fromSet.size(), toSet.size());
    for (qsizetype i = 0; i < pairs; ++i) {
        for (qsizetype at = text.indexOf(fromSet[i]); at >= 0;
             at = text.indexOf(fromSet[i], at + 1)) {
            copy[at] = toSet[i];
        }
    }
    return copy;
}

}  // namespace mereval::printing
