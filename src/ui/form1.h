#pragma once

#include "common/program_settings.h"
#include "platform/desktop_document_opener.h"
#include "printing/receipt_print_queue.h"
#include "report/transaction_report.h"
#include "session/payment_session.h"
#include "session/session_view.h"
#include "ui/box_answer_sink.h"
#include "ui/box_stack.h"
#include "ui/form2.h"
#include "ui/keyboard_path.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTabBar;

namespace mereval::session {
struct Operation;
}

namespace mereval::ui {

class Form3;
class Form4;
class SettingsDialog;

// The main window: the five operation tabs, their entry fields, OK and
// Loobu, the status line and the session text. It is the program: it owns
// the settings, the payment session and the box stack, and its closing ends
// everything without asking and without sending anything.
class Form1 : public QMainWindow, public session::SessionView, public BoxAnswerSink {
    Q_OBJECT

public:
    explicit Form1(session::SessionTimeouts timeouts = {}, QWidget* parent = nullptr);
    ~Form1() override;

    common::ProgramSettings& Settings() { return settings_; }
    session::PaymentSession& Session() { return *session_; }
    BoxStack& Boxes() { return boxes_; }

    void ApplyProgramMode();
    void ShowOperationFrame() override;
    void EnableOperationFields(qint16 tab, bool enabled);
    void DisableAllFields();
    void EnableAllFields();
    // The OK button; also run by a card swipe.
    void ValidateAndStart();
    // A special command: refused while an operation runs, so that a second
    // operation never starts over the running one.
    void PreparePOSCommand(quint8 commandId);
    bool PrepareReport(const QDate& reportFrom, const QDate& reportTo, qint16 reportGroup,
                       quint8 reportOnlyApproved);
    // Prints the receipts of the last approval that had any again, each
    // headed "KOOPIA".
    void ReprintReceipts();

    void SelectOperationTab(qint16 tab);
    void NextOperationTab();
    void FocusCurrentTab();

    // SessionView
    session::OperationTab SelectedTab() const override;
    QString EntryText(session::EntryField field) const override;
    QString TakeCardTrack() override;
    void ShowStatusLine(const QString& text) override;
    void ShowSessionText(const QString& text) override;
    void SetOperationRunning(bool running) override;
    void ClearCardNumber() override;
    void ClearEntryFields() override;
    void OpenBox(quint8 boxType, const QString& text, qint32 buttons) override;
    void ReleaseBoxes() override;
    void PrintReceipts(const QByteArray& receipts, qint32 stan,
                       std::function<void()> done) override;

    // BoxAnswerSink
    void ButtonResponse(quint8 buttonCode) override;
    void InputResponse(quint8 buttonCode, const QString& text) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void Startup();
    // Once the window shows: a payment whose outcome nobody saw, because the
    // program ended in its middle, is named to the cashier once.
    void WarnOfUnknownOutcome();
    void OnTabChange();
    bool PreviewKey(const QKeyEvent& key);
    void OnSwipe(const QString& track);
    void OnTimer2();
    QLineEdit* Field(session::EntryField field) const;
    QGroupBox* FrameOf(const session::Operation& operation) const;

    common::ProgramSettings settings_;
    // The last swipe's track; the card number field shows it masked.
    QString swipedTrack_;
    BoxStack boxes_;
    std::unique_ptr<session::PaymentSession> session_;
    std::unique_ptr<platform::DesktopDocumentOpener> documentOpener_;
    std::unique_ptr<report::TransactionReport> report_;
    std::unique_ptr<printing::ReceiptPrintQueue> printQueue_;
    bool operationRunning_ = false;
    bool shown_ = false;

    QTabBar* TabStrip1 = nullptr;
    QFrame* tabPage_ = nullptr;  // the strip's page area, shown and hidden with it
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text7 = nullptr;
    QLineEdit* Text8 = nullptr;
    QLineEdit* Text9 = nullptr;
    QLineEdit* Text10 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Image1 = nullptr;
    QMenu* Menu = nullptr;
    QAction* Report = nullptr;
    QAction* PosCommand = nullptr;
    QAction* Reprint = nullptr;
    QAction* SettingsM = nullptr;
    QAction* Quit = nullptr;
    Form3* form3_ = nullptr;
    Form4* form4_ = nullptr;
    SettingsDialog* settingsDialog_ = nullptr;
    // Children of the window, so that they are found by name like the controls.
    QTimer Timer2{this};
    KeyboardPath* keyboard_ = nullptr;  // a child, as Timer3 within it
};

}  // namespace mereval::ui
