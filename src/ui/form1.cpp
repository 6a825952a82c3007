#include "ui/form1.h"

#include "common/wipe.h"
#include "platform/cups_spooler.h"
#include "platform/spooler.h"
#include "printing/kept_receipts.h"
#include "printing/qt_text_print_document.h"
#include "session/operation_table.h"
#include "ui/accessibility.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/settings_dialog.h"
#include "ui/track_normalizer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>

#include <algorithm>
#include <optional>
#include <utility>

namespace mereval::ui {
namespace {

using session::EntryField;
using session::Operation;
using session::OperationOf;
using session::Operations;
using session::OperationTab;

constexpr int kTimer2Ms = 100;
constexpr qint32 kWarningButtons = 48;      // exclamation icon, "OK" only
constexpr qint32 kInformationButtons = 64;  // information icon, "OK" only

}  // namespace

Form1::Form1(session::SessionTimeouts timeouts, QWidget* parent)
    : QMainWindow(parent),
      boxes_(*this, *this),
      session_(std::make_unique<session::PaymentSession>(*this, settings_, timeouts)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildControls();
    BuildMenu();
    NameFieldsAfterLabels(*this);
    AnnounceStatusLine(*Text10);

    // The viewer's failure comes later than the report's end, as a box of its own.
    documentOpener_ = std::make_unique<platform::DesktopDocumentOpener>([this] {
        OpenBox(session::kBoxMessage, QStringLiteral(u"Aruande kuvamine ebaõnnestus."),
                session::kErrorBoxButtons);
    });
    report_ = std::make_unique<report::TransactionReport>(*session_, *this, *documentOpener_);
    printQueue_ = std::make_unique<printing::ReceiptPrintQueue>(
        settings_, [] { return std::make_unique<platform::CupsSpooler>(); },
        [] { return std::make_unique<printing::QtTextPrintDocument>(); }, &platform::CupsJobState,
        [this](quint8 boxType, const QString& text, qint32 buttons) {
            OpenBox(boxType, text, buttons);
        });

    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setInterval(kTimer2Ms);
    connect(&Timer2, &QTimer::timeout, this, &Form1::OnTimer2);
    Timer2.start();

    Startup();
}

Form1::~Form1() {
    boxes_.ReleaseBoxes();
}

void Form1::BuildMenu() {
    Menu = menuBar()->addMenu(QStringLiteral(u"&Menüü"));
    Menu->setObjectName(QStringLiteral("Menu"));
    const auto addItem = [this](const char* name, const QString& caption,
                                const QKeySequence& keys) {
        QAction* item = Menu->addAction(caption);
        item->setObjectName(QLatin1String(name));
        item->setShortcut(keys);
        return item;
    };
    Report = addItem("Report", QStringLiteral("&Aruanne..."), QKeySequence(Qt::CTRL | Qt::Key_R));
    PosCommand = addItem("PosCommand", QStringLiteral("Eri&toimingud..."),
                         QKeySequence(Qt::CTRL | Qt::Key_T));
    Reprint = addItem("Reprint", QStringLiteral(u"Kviitungi &kordustrükk"),
                      QKeySequence(Qt::CTRL | Qt::Key_P));
    SettingsM =
        addItem("SettingsM", QStringLiteral("&Seaded..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    Quit = addItem("Quit", QStringLiteral(u"&Lõpeta"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    form3_ = new Form3(this);
    connect(form3_, &Form3::reportRequested, this, &Form1::PrepareReport);
    form4_ = new Form4([this](quint8 commandId) { PreparePOSCommand(commandId); }, this);
    settingsDialog_ = new SettingsDialog(
        settings_, &platform::InstalledPrinterNames, [this] { ApplyProgramMode(); }, this);

    const auto showDialog = [](QWidget* dialog) {
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    };
    connect(Report, &QAction::triggered, this, [this, showDialog] { showDialog(form3_); });
    connect(PosCommand, &QAction::triggered, this, [this, showDialog] { showDialog(form4_); });
    connect(Reprint, &QAction::triggered, this, &Form1::ReprintReceipts);
    connect(SettingsM, &QAction::triggered, this, [this] { settingsDialog_->ShowData(); });
    connect(Quit, &QAction::triggered, this, &QWidget::close);
}

void Form1::PreparePOSCommand(quint8 commandId) {
    session_->PreparePOSCommand(commandId);
}

bool Form1::PrepareReport(const QDate& reportFrom, const QDate& reportTo, qint16 reportGroup,
                          quint8 reportOnlyApproved) {
    return report_->PrepareReport(reportFrom, reportTo, reportGroup, reportOnlyApproved,
                                  keyboard_->IsCollecting());
}

void Form1::ReprintReceipts() {
    const std::optional<printing::KeptReceipts> kept = printing::LoadKeptReceipts();
    if (!kept) {
        return OpenBox(session::kBoxMessage, QStringLiteral("Kordustrükiks pole kviitungeid."),
                       kInformationButtons);
    }
    session_->Journal().Reprinted(settings_.session);
    printQueue_->Print(kept->block, kept->stan, true, {});
}

void Form1::Startup() {
    boxes_.ReleaseBoxes();
    SetOperationRunning(false);  // the idle layout
    settings_ = common::LoadProgramSettings();
    ApplyProgramMode();
    common::LoadSession(settings_);
    setWindowTitle(QStringLiteral("Mereval - POS:") + settings_.fPOSID);
    ClearEntryFields();
    ShowOperationFrame();
}

void Form1::WarnOfUnknownOutcome() {
    session::OperationJournal& journal = session_->Journal();
    journal.Trim();
    if (const auto unknown = journal.UnknownOutcome()) {
        const QString text = session::OperationJournal::WarningText(*unknown);
        session_->Log().LogEvent(QStringLiteral("Warning: ") + text);
        OpenBox(session::kBoxMessage, text, kWarningButtons);
        journal.Warned(unknown->session);
    }
}

void Form1::ApplyProgramMode() {
    Label5->setVisible(settings_.fReportMode);
    TabStrip1->setVisible(!settings_.fReportMode);
    tabPage_->setVisible(!settings_.fReportMode);
    Command1->setVisible(!settings_.fReportMode);
    // A special command never starts over a running operation.
    PosCommand->setEnabled(!settings_.fReportMode && !operationRunning_);
    ShowOperationFrame();
}

QGroupBox* Form1::FrameOf(const Operation& operation) const {
    return static_cast<QGroupBox*>(Field(operation.FirstField())->parentWidget());
}

void Form1::ShowOperationFrame() {
    const Operation* shown = settings_.fReportMode ? nullptr : &OperationOf(SelectedTab());
    if (shown != nullptr) {
        FrameOf(*shown)->setTitle(QString::fromUtf16(shown->frameTitle));
    }
    for (const Operation& operation : Operations()) {
        QGroupBox* frame = FrameOf(operation);
        frame->setVisible(shown != nullptr && frame == FrameOf(*shown));
    }
}

void Form1::EnableOperationFields(qint16 tab, bool enabled) {
    const auto operations = Operations();
    const auto owner =
        std::find_if(operations.begin(), operations.end(),
                     [tab](const Operation& row) { return row.tab == OperationTab(tab); });
    if (owner == operations.end()) {
        return;
    }
    // Tabs that share a frame share its controls: they belong to the first.
    QGroupBox* frame = FrameOf(*owner);
    for (auto row = operations.begin(); row != owner; ++row) {
        if (FrameOf(*row) == frame) {
            return;
        }
    }
    frame->setEnabled(enabled);
    for (QWidget* control : frame->findChildren<QWidget*>()) {
        control->setEnabled(enabled);
    }
}

void Form1::DisableAllFields() {
    for (const Operation& operation : Operations()) {
        EnableOperationFields(qint16(operation.tab), false);
    }
}

void Form1::EnableAllFields() {
    for (const Operation& operation : Operations()) {
        EnableOperationFields(qint16(operation.tab), true);
    }
}

void Form1::OnTabChange() {
    ClearEntryFields();
    ShowOperationFrame();
    FocusCurrentTab();
}

void Form1::ValidateAndStart() {
    form3_->hide();
    Text10->clear();
    if (keyboard_->IsCollecting()) {
        return;  // a burst is still arriving; its end decides
    }
    if (const auto refusal = session::CheckFields(OperationOf(SelectedTab()), *this)) {
        // The amount check empties the card number field on every tab.
        if (refusal->amount) {
            Text1->clear();
        }
        return OpenBox(session::kBoxMessage, refusal->text, session::kErrorBoxButtons);
    }
    session_->StartOperation();
}

void Form1::SelectOperationTab(qint16 tab) {
    if (settings_.fReportMode || !TabStrip1->isEnabled()) {
        return;
    }
    const Operation& operation = OperationOf(OperationTab(tab));
    if (operation.tab != OperationTab(tab)) {
        return;
    }
    TabStrip1->setCurrentIndex(tab - 1);
    Field(operation.FirstField())->setFocus();
}

void Form1::NextOperationTab() {
    SelectOperationTab(qint16(int(SelectedTab()) % Operations().size() + 1));
}

void Form1::FocusCurrentTab() {
    SelectOperationTab(qint16(SelectedTab()));
}

bool Form1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        FocusCurrentTab();
    }
    return QMainWindow::event(event);
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!std::exchange(shown_, true)) {
        QMetaObject::invokeMethod(this, &Form1::WarnOfUnknownOutcome, Qt::QueuedConnection);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Wheel:
            // A tab changes by a click or Ctrl+Tab only: a scroll over the
            // strip must not empty the cashier's fields.
            return watched == TabStrip1;
        case QEvent::FocusIn:
            if (watched == TabStrip1) {
                FocusCurrentTab();
            } else if (watched == Text10) {
                if (!settings_.fReportMode) {
                    if (TabStrip1->isEnabled()) {
                        FocusCurrentTab();
                    } else {
                        Command2->setFocus();
                    }
                }
            } else if (auto* field = qobject_cast<QLineEdit*>(watched)) {
                QMetaObject::invokeMethod(field, &QLineEdit::selectAll, Qt::QueuedConnection);
            }
            return false;
        default:
            return false;
    }
}

bool Form1::PreviewKey(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Tab && key.modifiers() == Qt::ControlModifier) {
        if (isEnabled() && TabStrip1->isEnabled()) {
            NextOperationTab();
        }
        return true;
    }
    // Enter is OK's alone, even with the focus on Loobu during an operation:
    // a reader's closing Enter or a hurried key must never abort a payment.
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
        (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (Command1->isVisible() && Command1->isEnabled()) {
            Command1->click();
        }
        return true;
    }
    if (key.key() == Qt::Key_Escape && key.modifiers() == Qt::NoModifier) {
        if (Command2->isEnabled()) {
            Command2->click();
        }
        return true;
    }
    return false;
}

void Form1::OnSwipe(const QString& track) {
    // Only tabs with a card number field take a swipe, and only while idle.
    if (Text1->isVisible() && Text1->isEnabled()) {
        common::Wipe(swipedTrack_);
        swipedTrack_ = NormalizeTrackText(track);
        Text1->setText(MaskedCardNumber(swipedTrack_));
        ValidateAndStart();
    }
}

void Form1::OnTimer2() {
    if (isEnabled()) {
        return;
    }
    if (settingsDialog_->isVisible()) {
        settingsDialog_->BringToFront();
    }
    boxes_.BringTopToFront();
}

// Never refused and nothing is sent: the boxes close without an answer, the
// dialogs go with the window.
void Form1::closeEvent(QCloseEvent* event) {
    boxes_.ReleaseBoxes();
    for (QWidget* dialog : {static_cast<QWidget*>(form4_), static_cast<QWidget*>(form3_),
                            static_cast<QWidget*>(settingsDialog_)}) {
        dialog->hide();
    }
    event->accept();
}

QLineEdit* Form1::Field(EntryField field) const {
    switch (field) {
        case EntryField::CardNumber:
            return Text1;
        case EntryField::Amount:
            return Text2;
        case EntryField::VoidReceipt:
            return Text3;
        case EntryField::CompletionReceipt:
            return Text4;
        case EntryField::CompletionAmount:
            return Text7;
        case EntryField::TipReceipt:
            return Text8;
        case EntryField::TipAmount:
            return Text9;
    }
    return Text1;
}

session::OperationTab Form1::SelectedTab() const {
    return OperationTab(TabStrip1->currentIndex() + 1);
}

QString Form1::EntryText(EntryField field) const {
    return Field(field)->text();
}

QString Form1::TakeCardTrack() {
    // A hand-typed number, or one typed over the masked one, goes as typed.
    if (!swipedTrack_.isEmpty() && Text1->text() == MaskedCardNumber(swipedTrack_)) {
        return std::exchange(swipedTrack_, {});
    }
    return NormalizeTrackText(Text1->text());
}

void Form1::ShowStatusLine(const QString& text) {
    Text10->setEnabled(true);
    Text10->setText(text);
}

void Form1::ShowSessionText(const QString& text) {
    StatusBar1->showMessage(text);
}

void Form1::SetOperationRunning(bool running) {
    operationRunning_ = running;
    Command1->setEnabled(!running);
    if (running) {
        Text10->clear();
    }
    TabStrip1->setEnabled(!running);
    Command2->setEnabled(running);
    Report->setEnabled(!running);
    PosCommand->setEnabled(!running && !settings_.fReportMode);
    Reprint->setEnabled(!running);
    SettingsM->setEnabled(!running);
    form3_->SetOperationRunning(running);
    form4_->SetOperationRunning(running);
    if (running) {
        DisableAllFields();
    } else {
        EnableAllFields();
        // Disabling the focused field at the start left the window without a
        // focus (or Loobu with it); the next amount or swipe goes to the tab.
        FocusCurrentTab();
    }
}

void Form1::ClearCardNumber() {
    common::Wipe(swipedTrack_);
    Text1->clear();
}

void Form1::ClearEntryFields() {
    for (QLineEdit* field : {Text1, Text2, Text3, Text4, Text7, Text8, Text9}) {
        field->clear();
    }
}

void Form1::OpenBox(quint8 boxType, const QString& text, qint32 buttons) {
    boxes_.OpenBox(boxType, text, buttons);
}

void Form1::ReleaseBoxes() {
    boxes_.ReleaseBoxes();
}

void Form1::PrintReceipts(const QByteArray& receipts, qint32 stan, std::function<void()> done) {
    printing::KeepReceipts({receipts, stan});
    printQueue_->Print(receipts, stan, false, std::move(done));
}

void Form1::ButtonResponse(quint8 buttonCode) {
    session_->ButtonResponse(buttonCode);
}

void Form1::InputResponse(quint8 buttonCode, const QString& text) {
    session_->InputResponse(buttonCode, text);
}

}  // namespace mereval::ui
