#pragma once

#include <QString>
#include <QStringView>

namespace mereval::printing {

// The letters that raw receipts send as the receipt printer's own codes.
inline constexpr QStringView kReceiptCharsFrom = u"ÄäÖöÜüÕõ";

// The characters that stand for the letters of kReceiptCharsFrom, in the same
// order, in the text that the raw printer converts to the program's code
// page: their bytes there are 0x8E 0x84 0x99 0x94 0x9A 0x81 0x93 0x93, the
// letters' codes in the printer's IBM PC code page (Õ and õ print as ô).
QString ReceiptCharsTo();

// Replaces every occurrence of the i-th character of fromSet by the i-th of
// toSet. Positions are always searched in the unchanged text, so nothing is
// replaced twice; characters of fromSet beyond the end of toSet stay. The
// length never changes.
QString ReplaceChars(const QString& text, QStringView fromSet, QStringView toSet);

}  // namespace mereval::printing
