#pragma once

#include <QDialog>
#include <QtGlobal>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace mereval::ui {

// The special commands dialog: one of three service commands for the
// terminal. Modeless and only ever hidden, so the next showing offers the
// last chosen command again.
class Form4 : public QDialog {
    Q_OBJECT

public:
    // preparePOSCommand gets the chosen command's list position, 0 to 2.
    Form4(std::function<void(quint8)> preparePOSCommand, QWidget* owner);

    // Left open while an operation runs, its OK would be refused unseen.
    void SetOperationRunning(bool running);

public Q_SLOTS:
    // Esc, Loobu and the close box: hide, nothing else.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void OnOk();

    std::function<void(quint8)> preparePOSCommand_;

    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

}  // namespace mereval::ui
