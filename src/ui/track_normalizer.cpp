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

}  // namespace mereval::ui
