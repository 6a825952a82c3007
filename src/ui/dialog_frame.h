#pragma once

#include <QDialog>
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

}  // namespace mereval::ui
