#pragma once

#include <QDate>
#include <QDialog>
#include <QtGlobal>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

namespace mereval::ui {

// The report dialog: first and last day, grouping and the only-successful
// switch. Modeless. OK and Loobu (and Esc) only hide it, so a later showing
// has the cashier's last choices; the close box unloads it, so the next
// showing starts again from the load state: today in both pickers, no
// grouping, the switch on.
class Form3 : public QDialog {
    Q_OBJECT

public:
    explicit Form3(QWidget* owner = nullptr);

    bool IsLoaded() const { return loaded_; }
    // While an operation runs no report can start: OK is disabled rather
    // than doing nothing.
    void SetOperationRunning(bool running);

Q_SIGNALS:
    // OK: the dialog is hidden already. reportGroup is the list index (-1
    // when nothing is selected), reportOnlyApproved 1 when the box is
    // checked; nothing is checked, a start after the end included.
    void reportRequested(const QDate& reportFrom, const QDate& reportTo, qint16 reportGroup,
                         quint8 reportOnlyApproved);

public Q_SLOTS:
    // Esc and Loobu: hide, nothing else.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void Load();
    void OnOk();

    QLabel* Label1 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QLabel* Label2 = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    bool loaded_ = false;
};

}  // namespace mereval::ui
