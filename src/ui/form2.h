#pragma once

#include "ui/key_clock.h"

#include <QDialog>
#include <QString>
#include <QtGlobal>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace mereval::ui {

class BoxAnswerSink;

// The box: one message, question or input request before the cashier. It is
// not modal; the box stack disables the window below it instead. Boxes are
// made and shown by BoxStack only.
class Form2 : public QDialog {
    Q_OBJECT

public:
    Form2(BoxAnswerSink& sink, KeyClock clock, QWidget* owner);

    void ShowBox(qint16 index, quint8 type, const QString& text, qint32 flags);
    // ReleaseBoxes sets 0 so that the box closes without an answer.
    void SetBoxType(quint8 type) { BoxType = type; }

Q_SIGNALS:
    // Emitted while the box closes, with its place in the stack.
    void BoxClosed(qint16 index);

public Q_SLOTS:
    // Esc: the second button, when the box shows one.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void LayoutBox(quint8 type, const QString& text, qint32 flags);
    void SetupButtons(qint32 flags);
    void SendAnswer(int button);
    void AnswerAndClose(int button);
    void SetPanelHeight(QFrame* panel, int height);
    void NoteTypedKey(const QKeyEvent& event);
    void DropSlowCapture(quint32 elapsedMs);

    BoxAnswerSink& sink_;
    KeyClock clock_;

    QFrame* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Frame2 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Image2 = nullptr;  // exclamation
    QLabel* Image3 = nullptr;  // information
    QLabel* Image4 = nullptr;  // question
    QLabel* Image5 = nullptr;  // critical
    QTimer* Timer1 = nullptr;  // capture timer

    qint16 BoxIndex = 0;
    quint8 BoxType = 0;
    qint32 Buttons = 0;
    QString CaptureText;
    quint64 LastKeyTime = 0;  // on clock_
};

}  // namespace mereval::ui
