#include "ui/accessibility.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace mereval::ui {
namespace {

bool IsEntryField(const QWidget& widget) {
    return qobject_cast<const QLineEdit*>(&widget) != nullptr ||
           qobject_cast<const QComboBox*>(&widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(&widget) != nullptr;
}

// The field a label names: the nearest one to its right on the same row,
// else the nearest one right below it, closer than a line's height.
QWidget* FieldOf(const QLabel& label) {
    const QRect place = label.geometry();
    QWidget* beside = nullptr;
    QWidget* below = nullptr;
    for (QObject* sibling : label.parent()->children()) {
        auto* field = qobject_cast<QWidget*>(sibling);
        if (field == nullptr || field->isWindow() || !IsEntryField(*field)) {
            continue;
        }
        const QRect at = field->geometry();
        const bool sameRow = at.top() <= place.bottom() && place.top() <= at.bottom();
        if (sameRow && at.left() > place.left() && (beside == nullptr || at.left() < beside->x())) {
            beside = field;
        }
        const bool sameColumn = at.left() <= place.right() && place.left() <= at.right();
        const int gap = at.top() - place.bottom();
        if (sameColumn && gap > 0 && gap < place.height() &&
            (below == nullptr || at.top() < below->y())) {
            below = field;
        }
    }
    return beside != nullptr ? beside : below;
}

}  // namespace

void NameFieldsAfterLabels(QWidget& window) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        // Pictures name nothing; a label with a buddy is named already.
        if (label->buddy() != nullptr || !label->pixmap().isNull()) {
            continue;
        }
        if (QWidget* field = FieldOf(*label)) {
            label->setBuddy(field);
        }
    }
}

void AnnounceStatusLine(QLineEdit& statusLine) {
    QObject::connect(&statusLine, &QLineEdit::textChanged, &statusLine,
                     &QWidget::setAccessibleName);
}

void AnnounceBox(QWidget& box, const QString& text) {
    box.setAccessibleDescription(text);
    QAccessibleEvent alert(&box, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

}  // namespace mereval::ui
