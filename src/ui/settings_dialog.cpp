#include "ui/settings_dialog.h"

#include "common/int32_text.h"
#include "ui/accessibility.h"
#include "ui/dialog_frame.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <mutex>
#include <utility>

namespace mereval::ui {
namespace {

constexpr int kPOSMaxLength = 8;
constexpr int kAddressMaxLength = 15;
constexpr int kPortMaxLength = 5;

// Blanks that keep the frame's own caption out of sight under the check box.
constexpr int kPrinterFrameCaptionBlanks = 21;

// The limits hold for typing only: a longer value from the store is shown
// and kept whole, not cut short by merely confirming the dialog.
void ShowFieldText(QLineEdit* field, const QString& text, int maxLength) {
    field->setMaxLength(std::max<int>(maxLength, int(text.size())));
    field->setText(text);
}

}  // namespace

// Reaches the dialog from the lister's thread for as long as the dialog lives.
struct SettingsDialog::PrinterListReply {
    std::mutex mutex;
    SettingsDialog* dialog = nullptr;
};

SettingsDialog::SettingsDialog(common::ProgramSettings& settings,
                               std::function<QStringList()> printerNames,
                               std::function<void()> applyProgramMode, QWidget* mainWindow)
    : QDialog(mainWindow),
      settings_(settings),
      printerNames_(std::move(printerNames)),
      applyProgramMode_(std::move(applyProgramMode)),
      mainWindow_(mainWindow),
      printerListReply_(std::make_shared<PrinterListReply>()) {
    printerListReply_->dialog = this;
    SetUpDialogFrame(*this, QStringLiteral("Settings"), QStringLiteral("Seaded"));
    BuildControls();
}

void SettingsDialog::BuildControls() {
    setFont(WindowFont());
    setFixedSize(Twips(3975), Twips(3780));

    Label1 =
        Named(new QLabel(QStringLiteral("Kassa:"), this), "Label1", TwipsRect(120, 180, 855, 255));
    Text1 = Named(new QLineEdit(this), "Text1", TwipsRect(1080, 120, 1215, 285));
    Text1->setMaxLength(kPOSMaxLength);

    Frame1 = Named(new QGroupBox(QStringLiteral(" KK seaded "), this), "Frame1",
                   TwipsRect(120, 540, 3735, 1035));
    Label2 = Named(new QLabel(QStringLiteral("Aadress:"), Frame1), "Label2",
                   TwipsRect(120, 330, 855, 255));
    Text2 = Named(new QLineEdit(Frame1), "Text2", TwipsRect(960, 270, 2655, 285));
    Text2->setMaxLength(kAddressMaxLength);
    Label3 =
        Named(new QLabel(QStringLiteral("Port:"), Frame1), "Label3", TwipsRect(120, 690, 855, 255));
    Text3 = Named(new QLineEdit(Frame1), "Text3", TwipsRect(960, 630, 855, 285));
    Text3->setMaxLength(kPortMaxLength);

    Frame2 = Named(new QGroupBox(QString(kPrinterFrameCaptionBlanks, u' '), this), "Frame2",
                   TwipsRect(120, 1680, 3735, 1035));
    Label4 = Named(new QLabel(QStringLiteral("Printer:"), Frame2), "Label4",
                   TwipsRect(120, 330, 855, 255));
    Combo1 = Named(new QComboBox(Frame2), "Combo1", TwipsRect(960, 270, 2655, 315));
    Combo1->setEditable(true);
    // A typed name is taken as it is; it never joins the installed ones.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Check2 = Named(new QCheckBox(QStringLiteral("RAW printer"), Frame2), "Check2",
                   TwipsRect(960, 690, 2000, 255));
    // Made after the frame, so that it lies on top of the frame's edge; not a
    // child of it, so that it stays usable while the frame is disabled.
    Check1 = Named(new QCheckBox(QStringLiteral("Kviitung"), this), "Check1",
                   TwipsRect(240, 1680, 1000, 225));
    Check1->setAutoFillBackground(true);
    Check1->resize(Check1->sizeHint().width(), Check1->height());

    Check3 = Named(new QCheckBox(QStringLiteral("Aruanne reziim"), this), "Check3",
                   TwipsRect(120, 2880, 2000, 255));
    Command1 = Named(new QPushButton(QStringLiteral("OK"), this), "Command1",
                     TwipsRect(1440, 3300, 1095, 375));
    Command1->setDefault(true);
    Command2 = Named(new QPushButton(QStringLiteral("Loobu"), this), "Command2",
                     TwipsRect(2760, 3300, 1095, 375));

    QWidget* const focusOrder[] = {Text1,  Text2,    Text3,    Check1, Combo1,
                                   Check2, Command1, Command2, Check3};
    for (std::size_t i = 1; i < std::size(focusOrder); ++i) {
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
    }
    for (QLineEdit* field : {Text1, Text2, Text3}) {
        field->installEventFilter(this);
    }

    connect(Check1, &QCheckBox::toggled, this, &SettingsDialog::EnablePrinterControls);
    connect(Command1, &QPushButton::clicked, this, &SettingsDialog::Confirm);
    connect(Command2, &QPushButton::clicked, this, &SettingsDialog::reject);
    NameFieldsAfterLabels(*this);
}

SettingsDialog::~SettingsDialog() {
    const std::lock_guard lock(printerListReply_->mutex);
    printerListReply_->dialog = nullptr;
}

void SettingsDialog::AddPrinterNames(const QStringList& names, quint64 showing) {
    if (showing == showings_) {
        const QString typed = Combo1->currentText();
        Combo1->addItems(names);
        Combo1->setEditText(typed);
    }
}

void SettingsDialog::ShowData() {
    ShowFieldText(Text1, settings_.fPOSID, kPOSMaxLength);
    ShowFieldText(Text2, settings_.fAddress, kAddressMaxLength);
    ShowFieldText(Text3, QString::number(settings_.fPort), kPortMaxLength);
    Combo1->clear();
    Combo1->setEditText(settings_.fPrinter);
    printerLister_.Post([reply = printerListReply_, names = printerNames_, showing = ++showings_] {
        const QStringList list = names();
        const std::lock_guard lock(reply->mutex);
        if (reply->dialog != nullptr) {
            QMetaObject::invokeMethod(
                reply->dialog,
                [dialog = reply->dialog, list, showing] { dialog->AddPrinterNames(list, showing); },
                Qt::QueuedConnection);
        }
    });
    Check2->setChecked(settings_.fRAW);
    Check1->setChecked(settings_.fDoPrint);
    Check3->setChecked(settings_.fReportMode);
    EnablePrinterControls(Check1->isChecked());
    // Only opening the dialog sets the RAW box itself; afterwards it is
    // usable exactly while its frame is.
    Check2->setEnabled(Check1->isChecked());

    if (mainWindow_) {
        mainWindow_->setEnabled(false);
    }
    // Disabling the main window disables its child windows, this one among
    // them; a window alone may be enabled again under a disabled parent.
    setEnabled(true);
    show();
    raise();
    activateWindow();
}

void SettingsDialog::BringToFront() {
    // Only while the program has the keyboard, as the box stack does: pulling
    // the dialog over another program would take that program's keyboard away.
    if (!isVisible() || isActiveWindow() || QApplication::activeWindow() == nullptr) {
        return;
    }
    raise();
    activateWindow();
}

void SettingsDialog::EnablePrinterControls(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(Frame2), static_cast<QWidget*>(Label4),
                             static_cast<QWidget*>(Combo1)}) {
        control->setEnabled(enabled);
    }
}

void SettingsDialog::Confirm() {
    settings_.fPOSID = Text1->text();
    settings_.fAddress = Text2->text();
    settings_.fPrinter = Combo1->currentText();
    settings_.fDoPrint = Check1->isChecked();
    settings_.fReportMode = Check3->isChecked();
    settings_.fRAW = Check2->isChecked();
    // Anything but a 32-bit number leaves the port as it was, without a word.
    common::ParseInt32Text(Text3->text(), &settings_.fPort);
    common::StoreDialogSettings(settings_);

    ReturnToMainWindow();
    if (applyProgramMode_) {
        applyProgramMode_();
    }
}

void SettingsDialog::reject() {
    ReturnToMainWindow();
}

void SettingsDialog::ReturnToMainWindow() {
    hide();
    if (mainWindow_) {
        mainWindow_->setEnabled(true);
        mainWindow_->activateWindow();
    }
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    // The close box leaves like Loobu; the next ShowData fills it anew.
    ReturnToMainWindow();
    event->accept();
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* field = qobject_cast<QLineEdit*>(watched)) {
            // Queued: a mouse press that brought the focus would clear an
            // immediate selection.
            QMetaObject::invokeMethod(field, &QLineEdit::selectAll, Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace mereval::ui
