#pragma once

#include "common/program_settings.h"
#include "printing/serial_worker.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mereval::ui {

// The settings dialog: POS identifier, payment-system address and port,
// receipt printing, printer, raw printing and report-only mode. Modeless;
// the main window stays disabled while it is up and every way out enables
// it again. Only OK copies the fields into the settings and stores them.
class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    // printerNames gives the installed printers in the platform's order, and
    // is asked on a thread of its own: a spooler that hangs must not freeze
    // the window, so the list fills in when the answer comes;
    // applyProgramMode makes a changed report-only mode take effect at once.
    SettingsDialog(common::ProgramSettings& settings, std::function<QStringList()> printerNames,
                   std::function<void()> applyProgramMode, QWidget* mainWindow);
    ~SettingsDialog() override;

    // Fills the controls from the settings, disables the main window and
    // shows the dialog.
    void ShowData();

    // For the main window's timer: raises and activates the dialog while it
    // is shown and another window of this program holds the focus.
    void BringToFront();

public Q_SLOTS:
    // Esc and Loobu.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void EnablePrinterControls(bool enabled);
    void Confirm();
    void ReturnToMainWindow();
    void AddPrinterNames(const QStringList& names, quint64 showing);

    common::ProgramSettings& settings_;
    std::function<QStringList()> printerNames_;
    std::function<void()> applyProgramMode_;
    QPointer<QWidget> mainWindow_;
    struct PrinterListReply;
    std::shared_ptr<PrinterListReply> printerListReply_;
    printing::SerialWorker printerLister_;
    quint64 showings_ = 0;  // an answer for an earlier showing is dropped

    QLabel* Label1 = nullptr;  // "Kassa:"
    QLineEdit* Text1 = nullptr;
    QGroupBox* Frame1 = nullptr;  // " KK seaded "
    QLabel* Label2 = nullptr;     // "Aadress:"
    QLineEdit* Text2 = nullptr;
    QLabel* Label3 = nullptr;  // "Port:"
    QLineEdit* Text3 = nullptr;
    QGroupBox* Frame2 = nullptr;  // the printer frame, Check1 its caption
    QCheckBox* Check1 = nullptr;  // "Kviitung"
    QLabel* Label4 = nullptr;     // "Printer:"
    QComboBox* Combo1 = nullptr;
    QCheckBox* Check2 = nullptr;  // "RAW printer"
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QCheckBox* Check3 = nullptr;  // "Aruanne reziim"
};

}  // namespace mereval::ui
