#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

namespace mereval::ui {

// The frame shared by the report, special-command and settings dialogs: a
// title and a close box on a fixed size, modeless, since the main window
// rather than a modal loop keeps the cashier inside them.
inline void SetUpDialogFrame(QDialog& dialog, const QString& objectName, const QString& title) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(title);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog.setModal(false);
}

// A dialog's control under its numbered name, placed where the layout says.
template <typename Control>
Control* Named(Control* control, const char* name, const QRect& geometry) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

}  // namespace mereval::ui
