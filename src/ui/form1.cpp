#include "ui/form1.h"

#include "common/value_helpers.h"
#include "platform/spooler.h"
#include "printing/qt_text_print_document.h"
#include "session/conversions.h"
#include "ui/card_reader_keys.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/key_clock.h"
#include "ui/logo.h"
#include "ui/settings_dialog.h"
#include "ui/track_normalizer.h"
#include "ui/twips.h"

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

namespace mereval::ui {
namespace {

using session::EntryField;
using session::OperationTab;

constexpr int kTimer2Ms = 100;
constexpr qsizetype kMaxReceiptNumberLength = 6;

const QString kInvalidAmount = QStringLiteral("Vigane summa.");
const QString kInvalidReceiptNumber = QStringLiteral("Vigane kviitungi number.");

bool IsTypedCharacter(const QString& text) {
    return !text.isEmpty() && text.front().isPrint();
}

QLineEdit* NewField(QWidget* parent, const char* name, const QRect& geometry) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(geometry);
    return field;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

QGroupBox* NewFrame(QWidget* parent, const char* name, const QString& title) {
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(TwipsRect(240, 360, 5535, 1095));
    return frame;
}

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

    report_ = std::make_unique<report::TransactionReport>(*session_, *this, documentOpener_);
    receiptPrinter_ = std::make_unique<printing::ReceiptPrinter>(
        settings_, platform::SystemSpooler(), std::make_unique<printing::QtTextPrintDocument>(),
        [this](quint8 boxType, const QString& text, qint32 buttons) {
            OpenBox(boxType, text, buttons);
        });

    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setInterval(kTimer2Ms);
    connect(&Timer2, &QTimer::timeout, this, &Form1::OnTimer2);
    Timer2.start();
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer3.setInterval(int(KeyBurst::kPauseMs));
    Timer3.setSingleShot(true);
    connect(&Timer3, &QTimer::timeout, this, &Form1::OnBurstEnd);

    Startup();
}

Form1::~Form1() {
    qApp->removeEventFilter(this);
    boxes_.ReleaseBoxes();
}

void Form1::BuildControls() {
    const QFont windowFont = WindowFont();
    setFont(windowFont);

    auto* client = new QWidget(this);
    client->setFixedSize(Twips(7215), Twips(2370));
    setCentralWidget(client);

    TabStrip1 = new QTabBar(client);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (const char16_t* caption :
         {u"Kaardimakse", u"Tühistamine", u"Jootraha", u"Broneering", u"Broneeringu lõpetamine"}) {
        TabStrip1->addTab(QString::fromUtf16(caption));
    }
    TabStrip1->setExpanding(false);
    // Five captions in the strip's fixed width: narrow tab padding, no scrolling.
    TabStrip1->setUsesScrollButtons(false);
    TabStrip1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 2px; margin: 0px; }"));
    TabStrip1->setDrawBase(true);
    TabStrip1->setGeometry(TwipsRect(120, 0, 5775, 1575));
    // The page area below the tabs, on which the frames lie.
    tabPage_ = new QFrame(client);
    tabPage_->setObjectName(QStringLiteral("TabPage"));
    tabPage_->setFrameShape(QFrame::StyledPanel);
    tabPage_->setGeometry(QRect(Twips(120), TabStrip1->sizeHint().height(), Twips(5775),
                                Twips(1575) - TabStrip1->sizeHint().height()));
    TabStrip1->setGeometry(Twips(120), 0, Twips(5775), TabStrip1->sizeHint().height());

    Frame1 = NewFrame(client, "Frame1", QStringLiteral(" Kaardimakse "));
    Label1 = NewLabel(Frame1, "Label1", QStringLiteral("Summa:"), TwipsRect(240, 360, 615, 255));
    Text2 = NewField(Frame1, "Text2", TwipsRect(1200, 360, 855, 285));
    Label2 =
        NewLabel(Frame1, "Label2", QStringLiteral("Kaardi nr."), TwipsRect(240, 720, 735, 255));
    Text1 = NewField(Frame1, "Text1", TwipsRect(1200, 720, 4215, 285));

    Frame2 = NewFrame(client, "Frame2", QStringLiteral(u" Tühistamine "));
    Label3 =
        NewLabel(Frame2, "Label3", QStringLiteral("Kviitungi nr."), TwipsRect(240, 360, 855, 255));
    Text3 = NewField(Frame2, "Text3", TwipsRect(1200, 360, 855, 285));

    Frame3 = NewFrame(client, "Frame3", QStringLiteral(" Jootraha "));
    Label8 =
        NewLabel(Frame3, "Label8", QStringLiteral("Kviitungi nr."), TwipsRect(240, 360, 975, 255));
    Text8 = NewField(Frame3, "Text8", TwipsRect(1200, 360, 855, 285));
    Label9 = NewLabel(Frame3, "Label9", QStringLiteral("Summa:"), TwipsRect(240, 720, 615, 255));
    Text9 = NewField(Frame3, "Text9", TwipsRect(1200, 720, 855, 285));

    Frame5 = NewFrame(client, "Frame5", QStringLiteral(u" Broneeringu lõpetamine "));
    Label4 =
        NewLabel(Frame5, "Label4", QStringLiteral("Kviitungi nr."), TwipsRect(240, 360, 855, 255));
    Text4 = NewField(Frame5, "Text4", TwipsRect(1200, 360, 855, 285));
    Text4->setMaxLength(int(kMaxReceiptNumberLength));
    Label7 = NewLabel(Frame5, "Label7", QStringLiteral("Summa:"), TwipsRect(240, 720, 615, 255));
    Text7 = NewField(Frame5, "Text7", TwipsRect(1200, 720, 855, 285));

    Command1 = new QPushButton(QStringLiteral("OK"), client);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(TwipsRect(6000, 780, 1095, 375));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &Form1::ValidateAndStart);

    Command2 = new QPushButton(QStringLiteral("Loobu"), client);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(TwipsRect(6000, 1200, 1095, 375));
    Command2->setEnabled(false);
    connect(Command2, &QPushButton::clicked, this, [this] { session_->AbortRequest(); });

    Label5 = NewLabel(client, "Label5", QStringLiteral("Terminal pole aktiivne."),
                      TwipsRect(240, 720, 5535, 255));
    Label5->setAlignment(Qt::AlignCenter);
    QFont noticeFont = windowFont;
    noticeFont.setBold(true);
    Label5->setFont(noticeFont);

    Text10 = NewField(client, "Text10", TwipsRect(120, 1680, 6975, 315));
    // The payment system's words are shown, not edited.
    Text10->setReadOnly(true);
    QFont statusFont(QStringLiteral("Fixedsys"));
    statusFont.setStyleHint(QFont::TypeWriter);
    statusFont.setPointSize(9);
    Text10->setFont(statusFont);
    QPalette statusPalette = Text10->palette();
    statusPalette.setColor(QPalette::Base, statusPalette.color(QPalette::Highlight));
    statusPalette.setColor(QPalette::Text, statusPalette.color(QPalette::ToolTipBase));
    Text10->setPalette(statusPalette);

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(TwipsRect(0, 2115, 7215, 255));

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(TwipsRect(6120, 0, 690, 780));
    Image1->setPixmap(Logo());

    setTabOrder(TabStrip1, Text2);
    setTabOrder(Text2, Text1);
    setTabOrder(Text1, Text3);
    setTabOrder(Text3, Text8);
    setTabOrder(Text8, Text9);
    setTabOrder(Text9, Text4);
    setTabOrder(Text4, Text7);
    setTabOrder(Text7, Command1);
    setTabOrder(Command1, Command2);
    Text10->setFocusPolicy(Qt::ClickFocus);

    const std::pair<QLineEdit*, quint8> entryFields[] = {
        {Text1, 1}, {Text2, 2}, {Text3, 3}, {Text4, 4}, {Text7, 7}, {Text8, 8}, {Text9, 9}};
    for (const auto& [field, number] : entryFields) {
        connect(field, &QLineEdit::textChanged, this,
                [this, number = number] { lastChangedField_ = number; });
    }
    connect(TabStrip1, &QTabBar::tabBarClicked, this, &Form1::OnTabChange);
    connect(TabStrip1, &QTabBar::currentChanged, this, &Form1::OnTabChange);

    // The reader's keys for this window and its boxes alike.
    CardReaderKeys::Install();
    // Key preview: the window sees every key of its controls first.
    qApp->installEventFilter(this);
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
    connect(SettingsM, &QAction::triggered, this, [this] { settingsDialog_->ShowData(); });
    connect(Quit, &QAction::triggered, this, &QWidget::close);
}

void Form1::PreparePOSCommand(quint8 commandId) {
    session_->PreparePOSCommand(commandId);
}

bool Form1::PrepareReport(const QDate& reportFrom, const QDate& reportTo, qint16 reportGroup,
                          quint8 reportOnlyApproved) {
    return report_->PrepareReport(reportFrom, reportTo, reportGroup, reportOnlyApproved,
                                  Timer3.isActive());
}

void Form1::Startup() {
    burst_.Reset();
    boxes_.ReleaseBoxes();
    SetOperationRunning(false);  // the idle layout
    settings_ = common::LoadProgramSettings();
    ApplyProgramMode();
    common::LoadSession(settings_);
    setWindowTitle(QStringLiteral("Mereval - POS:") + settings_.fPOSID);
    savedAmountText_.clear();
    ClearEntryFields();
    ShowOperationFrame();
}

void Form1::ApplyProgramMode() {
    Label5->setVisible(settings_.fReportMode);
    TabStrip1->setVisible(!settings_.fReportMode);
    tabPage_->setVisible(!settings_.fReportMode);
    Command1->setVisible(!settings_.fReportMode);
    PosCommand->setEnabled(!settings_.fReportMode);
    ShowOperationFrame();
}

void Form1::ShowOperationFrame() {
    if (settings_.fReportMode) {
        for (QGroupBox* frame : {Frame1, Frame2, Frame3, Frame5}) {
            frame->hide();
        }
        return;
    }
    const OperationTab tab = SelectedTab();
    if (tab == OperationTab::CardPayment || tab == OperationTab::Reservation) {
        Frame1->setTitle(tab == OperationTab::CardPayment ? QStringLiteral(" Kaardimakse ")
                                                          : QStringLiteral(" Broneering "));
        Frame1->show();
    } else {
        Frame1->hide();
    }
    Frame2->setVisible(tab == OperationTab::Cancellation);
    Frame3->setVisible(tab == OperationTab::Tip);
    Frame5->setVisible(tab == OperationTab::ReservationCompletion);
}

void Form1::EnableOperationFields(qint16 tab, bool enabled) {
    QList<QWidget*> controls;
    switch (tab) {
        case 1:
            controls = {Frame1, Label1, Label2, Text1, Text2};
            break;
        case 2:
            controls = {Frame2, Label3, Text3};
            break;
        case 3:
            controls = {Frame3, Label8, Label9, Text8, Text9};
            break;
        case 5:
            controls = {Frame5, Label4, Label7, Text4, Text7};
            break;
        default:
            return;  // tab 4 uses the controls of tab 1
    }
    for (QWidget* control : controls) {
        control->setEnabled(enabled);
    }
}

void Form1::DisableAllFields() {
    for (const qint16 tab : {1, 2, 3, 5}) {
        EnableOperationFields(tab, false);
    }
}

void Form1::EnableAllFields() {
    for (const qint16 tab : {1, 2, 3, 5}) {
        EnableOperationFields(tab, true);
    }
}

void Form1::OnTabChange(int index) {
    const qint16 tab = qint16(index + 1);
    if (tab < 1 || tab > 5) {
        return;
    }
    if (tab != currentTab_) {
        currentTab_ = tab;
        savedAmountText_.clear();
        for (QLineEdit* field : {Text1, Text2, Text3, Text4, Text7, Text8, Text9}) {
            field->clear();
        }
    }
    ShowOperationFrame();
    FocusCurrentTab();
}

void Form1::RefuseEntry(const QString& text, bool amount) {
    if (amount) {
        Text1->clear();
    }
    OpenBox(session::kBoxMessage, text, session::kErrorBoxButtons);
}

void Form1::ValidateAndStart() {
    form3_->hide();
    Text10->clear();
    if (Timer3.isActive()) {
        return;  // a burst is still arriving; its end decides
    }
    double amount = 0;
    const auto receiptNumberOk = [](const QString& text) {
        double number = 0;
        return text.size() <= kMaxReceiptNumberLength && !text.isEmpty() &&
               common::ParseNumericText(text, &number);
    };
    switch (SelectedTab()) {
        case OperationTab::CardPayment:
        case OperationTab::Reservation:
            if (!session::GetAmount(Text2->text(), amount)) {
                return RefuseEntry(kInvalidAmount, true);
            }
            break;
        case OperationTab::Cancellation:
            if (!receiptNumberOk(Text3->text())) {
                return RefuseEntry(kInvalidReceiptNumber, false);
            }
            break;
        case OperationTab::Tip:
            if (!receiptNumberOk(Text8->text())) {
                return RefuseEntry(kInvalidReceiptNumber, false);
            }
            if (!session::GetAmount(Text9->text(), amount)) {
                return RefuseEntry(kInvalidAmount, true);
            }
            break;
        case OperationTab::ReservationCompletion:
            // This tab reads its receipt number with the amount reader.
            if (Text4->text().size() > kMaxReceiptNumberLength || Text4->text().isEmpty() ||
                !session::GetAmount(Text4->text(), amount)) {
                return RefuseEntry(kInvalidReceiptNumber, false);
            }
            if (!session::GetAmount(Text7->text(), amount)) {
                return RefuseEntry(kInvalidAmount, true);
            }
            break;
    }
    session_->StartOperation();
}

void Form1::SelectOperationTab(qint16 tab) {
    if (settings_.fReportMode || !TabStrip1->isEnabled()) {
        return;
    }
    if (tab >= 1 && tab <= 5) {
        TabStrip1->setCurrentIndex(tab - 1);
    }
    switch (tab) {
        case 1:
        case 4:
            Text2->setFocus();
            break;
        case 2:
            Text3->setFocus();
            break;
        case 3:
            Text8->setFocus();
            break;
        case 5:
            Text4->setFocus();
            break;
        default:
            break;
    }
}

void Form1::NextOperationTab() {
    SelectOperationTab(qint16(int(SelectedTab()) % 5 + 1));
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

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::KeyPress: {
            // A key that a control leaves alone (a button does) travels on to
            // its parents and the window; only its first receiver counts: the
            // control with the focus, or the window when none has it.
            QWidget* receiver = QApplication::focusWidget();
            if (receiver == nullptr || receiver->window() != this) {
                receiver = this;
            }
            if (widget == receiver) {
                return OnKeyPressPreview(static_cast<QKeyEvent*>(event));
            }
            return false;
        }
        case QEvent::Wheel:
            // A tab changes by a click or Ctrl+Tab only: a scroll over the
            // strip must not empty the cashier's fields.
            return widget == TabStrip1;
        case QEvent::FocusIn:
            if (widget == TabStrip1) {
                FocusCurrentTab();
            } else if (widget == Text10) {
                if (!settings_.fReportMode) {
                    if (TabStrip1->isEnabled()) {
                        FocusCurrentTab();
                    } else {
                        Command2->setFocus();
                    }
                }
            } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
                QMetaObject::invokeMethod(field, &QLineEdit::selectAll, Qt::QueuedConnection);
            }
            return false;
        default:
            return false;
    }
}

bool Form1::OnKeyPressPreview(QKeyEvent* event) {
    if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier) {
        if (isEnabled() && TabStrip1->isEnabled()) {
            NextOperationTab();
        }
        return true;
    }
    // Enter is OK's alone, even with the focus on Loobu during an operation:
    // a reader's closing Enter or a hurried key must never abort a payment.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (Command1->isVisible() && Command1->isEnabled()) {
            Command1->click();
        }
        return true;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (Command2->isEnabled()) {
            Command2->click();
        }
        return true;
    }

    // The reader's "=" under the Estonian layout comes as "´" (CardReaderKeys).
    const QString text = event->text();
    if (!IsTypedCharacter(text)) {
        return false;
    }
    const auto timestamp = qint64(KeyTime(*event, MonotonicMs()));
    if (burst_.IsCollecting() && burst_.IsNewBurst(timestamp)) {
        Timer3.stop();
        OnBurstEnd();
    }
    burst_.Add(text, timestamp);
    Timer3.start();
    return false;
}

void Form1::OnBurstEnd() {
    Timer3.stop();
    if (!burst_.Finish()) {
        savedAmountText_ = Text2->text();
        burst_.Reset();
        return;
    }
    const QString keys = burst_.Keys();
    RemoveSwipeFromField(keys);
    if (Frame1->isVisible() && Frame1->isEnabled()) {
        Text1->setText(keys);
        ValidateAndStart();
    }
}

void Form1::RemoveSwipeFromField(const QString& keys) {
    QLineEdit* field = nullptr;
    switch (lastChangedField_) {
        case 2:
            Text2->setText(savedAmountText_);
            return;
        case 3:
        case 4:
        case 7:
        case 8:
        case 9:
            field = Field(EntryField(lastChangedField_));
            break;
        default:
            return;
    }
    QString text = field->text();
    const qsizetype at = text.indexOf(keys);
    if (at >= 0) {
        field->setText(text.remove(at, keys.size()));
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

QString Form1::CardTrackText() const {
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
    Command1->setEnabled(!running);
    if (running) {
        Text10->clear();
    }
    TabStrip1->setEnabled(!running);
    Command2->setEnabled(running);
    Report->setEnabled(!running);
    SettingsM->setEnabled(!running);
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
    Text1->clear();
}

void Form1::ClearEntryFields() {
    savedAmountText_.clear();
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

void Form1::PrintReceipts(const QByteArray& receipts, qint32 stan) {
    receiptPrinter_->PrintReceipts(receipts, stan);
}

void Form1::ButtonResponse(quint8 buttonCode) {
    session_->ButtonResponse(buttonCode);
}

void Form1::InputResponse(quint8 buttonCode, const QString& text) {
    session_->InputResponse(buttonCode, text);
}

}  // namespace mereval::ui
