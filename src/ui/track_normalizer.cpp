#include "ui/track_normalizer.h"

#include "platform/keyboard_layout.h"
#include "ui/active_keyboard_layout.h"

namespace mereval::ui {

QString MapCharacters(const QString& text, const QString& from, const QString& to) {
    QString result = text;
    for (qsizetype i = 0; i < from.size() && i < to.size(); ++i) {
        for (qsizetype p = 0; p < text.size(); ++p) {
            if (text[p] == from[i]) {
                result[p] = to[i];
            }
        }
    }
    return result;
}

QString NormalizeTrackText(const QString& text, quint32 layoutHandle) {
    switch (layoutHandle) {
        case platform::kLayoutRussian:
            return MapCharacters(text, QStringLiteral(u"ж,"), QStringLiteral(u";?"));
        case platform::kLayoutEstonian:
            return MapCharacters(text, QStringLiteral(u"ö´_"), QStringLiteral(u";=?"));
        default:
            return text;
    }
}

QString NormalizeTrackText(const QString& text) {
    return NormalizeTrackText(text, ActiveKeyboardLayout());
}

QString MaskedCardNumber(const QString& track) {
    qsizetype start = track.startsWith(u';') ? 1 : 0;
    qsizetype end = start;
    while (end < track.size() && track[end].isDigit()) {
        ++end;
    }
    const QString number = track.mid(start, end - start);
    constexpr qsizetype kShownFirst = 6;
    constexpr qsizetype kShownLast = 4;
    if (number.size() < kShownFirst + kShownLast + 2) {
        return QString(number.size(), u'*');
    }
    return number.left(kShownFirst) + QString(number.size() - kShownFirst - kShownLast, u'*') +
           number.right(kShownLast);
}

}  // namespace mereval::ui
