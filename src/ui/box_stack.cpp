#include "ui/box_stack.h"

#include "session/session_view.h"
#include "ui/accessibility.h"
#include "ui/form2.h"

#include <QApplication>

#include <utility>

namespace mereval::ui {

BoxStack::BoxStack(QWidget& mainWindow, BoxAnswerSink& sink, KeyClock clock)
    : mainWindow_(&mainWindow), sink_(sink), clock_(std::move(clock)) {}

BoxStack::~BoxStack() {
    ReleaseBoxes();
}

void BoxStack::OpenBox(quint8 type, const QString& text, qint32 buttons) {
    const qsizetype index = boxes_.size();
    // Disabled before the box exists: disabling a window disables its child
    // windows too, the new box among them.
    if (QWidget* below = WindowBelow(index)) {
        below->setEnabled(false);
    }
    auto* box = new Form2(sink_, clock_, mainWindow_);
    connect(box, &Form2::BoxClosed, this, &BoxStack::CloseBox);
    boxes_.append(box);
    box->ShowBox(static_cast<qint16>(index), type, text, buttons);
    AnnounceBox(*box, text);
}

void BoxStack::CloseBox(qint16 index) {
    if (index < 1 || index >= boxes_.size()) {
        return;
    }
    // The place is emptied first: the box's closing calls back here.
    if (QPointer<Form2> box = std::exchange(boxes_[index], nullptr)) {
        box->close();
    }
    DropClosedTop();
}

void BoxStack::ReleaseBoxes() {
    for (qsizetype index = boxes_.size() - 1; index >= 1; --index) {
        if (Form2* box = boxes_.value(index)) {
            box->SetBoxType(session::kBoxMessage);
            box->close();
        }
    }
}

Form2* BoxStack::Top() const {
    return boxes_.size() > 1 ? boxes_.constLast().data() : nullptr;
}

void BoxStack::BringTopToFront() const {
    // Only while the program has the keyboard: pulling the box over another
    // program every 100 ms would take that program's keyboard away.
    Form2* top = Top();
    const QWidget* active = QApplication::activeWindow();
    if (top == nullptr || active == nullptr || active == top) {
        return;
    }
    top->raise();
    top->activateWindow();
}

QWidget* BoxStack::WindowBelow(qsizetype index) const {
    return index == 1 ? mainWindow_.data() : boxes_.value(index - 1).data();
}

void BoxStack::DropClosedTop() {
    if (boxes_.size() == 1 || !boxes_.constLast().isNull()) {
        return;
    }
    while (boxes_.size() > 1 && boxes_.constLast().isNull()) {
        boxes_.removeLast();
    }
    if (QWidget* below = WindowBelow(boxes_.size())) {
        below->setEnabled(true);
    }
}

}  // namespace mereval::ui
