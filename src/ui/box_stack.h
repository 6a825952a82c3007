#pragma once

#include "ui/key_clock.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <QtGlobal>

namespace mereval::ui {

class BoxAnswerSink;
class Form2;

// The open boxes, at places 1 to Count() (place 0 is never used), the top
// one last. Each box disables the window below it, so only the top box takes
// input; closing it enables the one below again. The boxes are child windows
// of the main window and close with it at the latest.
class BoxStack : public QObject {
    Q_OBJECT

public:
    BoxStack(QWidget& mainWindow, BoxAnswerSink& sink, KeyClock clock = &MonotonicMs);
    ~BoxStack() override;
    BoxStack(const BoxStack&) = delete;
    BoxStack& operator=(const BoxStack&) = delete;

    // Returns at once; the answer, if the box gives one, comes later through
    // the sink.
    void OpenBox(quint8 type, const QString& text, qint32 buttons);
    void CloseBox(qint16 index);
    // Closes every box, the top one first, without an answer.
    void ReleaseBoxes();

    qint16 Count() const { return static_cast<qint16>(boxes_.size() - 1); }
    // The top box, or nullptr when no box is open.
    Form2* Top() const;
    // For the main window's timer while it is disabled: when another window
    // of the program is active (the cashier clicked the main window), the top
    // box comes to the front and takes the keyboard again. While another
    // program is active nothing happens; the window manager keeps the boxes
    // above the main window anyway.
    void BringTopToFront() const;

private:
    QWidget* WindowBelow(qsizetype index) const;
    void DropClosedTop();

    QPointer<QWidget> mainWindow_;
    BoxAnswerSink& sink_;
    KeyClock clock_;
    // An empty place below the top is a box closed from code while boxes
    // above it were open: they keep their places and the window below stays
    // disabled until they are gone.
    QList<QPointer<Form2>> boxes_ = {QPointer<Form2>()};
};

}  // namespace mereval::ui
