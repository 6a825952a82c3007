#pragma once

#include <QString>

class QLineEdit;
class QWidget;

namespace mereval::ui {

// Names every entry field of a built window after the label beside it (or
// just above it), by making the label its buddy: assistive technology reads
// a buddy's text as the field's name, and follows the label when its text
// changes. Buttons and check boxes are named by their captions already.
void NameFieldsAfterLabels(QWidget& window);

// The status line is named by what it shows, and each new text raises a name
// change, so that a screen reader hears it as the status bar's messages.
void AnnounceStatusLine(QLineEdit& statusLine);

// A box that has just opened: its text becomes the window's description and
// an alert tells assistive technology to read it, as a message box does.
void AnnounceBox(QWidget& box, const QString& text);

}  // namespace mereval::ui
