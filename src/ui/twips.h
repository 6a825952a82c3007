#pragma once

#include <QFont>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <cmath>

namespace mereval::ui {

// Window layouts are given in twips, 1440 to the inch; on screen they are
// pixels at the primary screen's logical DPI (15 twips a pixel at 96 DPI).
inline int Twips(int twips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

// The face every window is drawn in. The layouts were drawn for an 8.25 pt
// "MS Sans Serif"; Arial's metrics (Liberation Sans on Debian) keep every
// caption inside its twips, where fontconfig's stand-in for the former is
// far wider.
inline QFont WindowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

}  // namespace mereval::ui
