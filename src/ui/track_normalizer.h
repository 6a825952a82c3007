#pragma once

#include <QString>
#include <QtGlobal>

namespace mereval::ui {

// Replaces every character of text that equals from[i] by to[i], looking at
// the input only, so a replaced character is never replaced again.
QString MapCharacters(const QString& text, const QString& from, const QString& to);

// Maps what a card reader's ";", "=" and "?" keys give under the default
// Estonian and Russian layouts back to the track 2 sentinels; any other
// layout leaves the text unchanged.
QString NormalizeTrackText(const QString& text, quint32 layoutHandle);

// The same under the layout that is active now.
QString NormalizeTrackText(const QString& text);

// What the card number field shows of a swiped track: the card number's
// first six and last four digits, the digits between as "*", and nothing
// of the expiry date or the service code. Shorter numbers show no digit.
QString MaskedCardNumber(const QString& track);

}  // namespace mereval::ui
