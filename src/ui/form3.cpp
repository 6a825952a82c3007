#include "ui/form3.h"

#include "ui/accessibility.h"
#include "ui/dialog_frame.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace mereval::ui {
namespace {

QDateEdit* NewPicker(QWidget* parent, const char* name, const QRect& geometry) {
    auto* picker = Named(new QDateEdit(parent), name, geometry);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return picker;
}

}  // namespace

Form3::Form3(QWidget* owner) : QDialog(owner) {
    SetUpDialogFrame(*this, QStringLiteral("Form3"), QStringLiteral("Aruanne"));
    BuildControls();
}

void Form3::BuildControls() {
    setFont(WindowFont());
    setFixedSize(Twips(3495), Twips(2700));

    Label1 =
        Named(new QLabel(QStringLiteral("Algus:"), this), "Label1", TwipsRect(120, 180, 1000, 255));
    DTPicker1 = NewPicker(this, "DTPicker1", TwipsRect(1200, 120, 2175, 315));
    Label2 =
        Named(new QLabel(QStringLiteral(u"Lõpp:"), this), "Label2", TwipsRect(120, 600, 1000, 255));
    DTPicker2 = NewPicker(this, "DTPicker2", TwipsRect(1200, 540, 2175, 315));
    Label3 = Named(new QLabel(QStringLiteral("Grupeering:"), this), "Label3",
                   TwipsRect(120, 1020, 1000, 255));
    Combo1 = Named(new QComboBox(this), "Combo1", TwipsRect(1200, 960, 2175, 315));
    for (const char16_t* item :
         {u"Puudub", u"Terminal", u"Kuupäev", u"Kaart", u"Vastuse kood", u"Staatus"}) {
        Combo1->addItem(QString::fromUtf16(item));
    }
    Check1 = Named(new QCheckBox(QStringLiteral(u"Näita ainult õnnestunud tehinguid"), this),
                   "Check1", TwipsRect(120, 1440, 3255, 255));
    Check1->setChecked(true);

    Command1 = Named(new QPushButton(QStringLiteral("OK"), this), "Command1",
                     TwipsRect(600, 2040, 1095, 375));
    Command1->setDefault(true);
    Command2 = Named(new QPushButton(QStringLiteral("Loobu"), this), "Command2",
                     TwipsRect(1800, 2040, 1095, 375));
    connect(Command1, &QPushButton::clicked, this, &Form3::OnOk);
    connect(Command2, &QPushButton::clicked, this, &Form3::reject);
    NameFieldsAfterLabels(*this);
}

void Form3::Load() {
    Combo1->setCurrentIndex(0);
    const QDate today = QDate::currentDate();
    DTPicker1->setDate(today);
    DTPicker2->setDate(today);
    Check1->setChecked(true);
    loaded_ = true;
}

void Form3::showEvent(QShowEvent* event) {
    if (!loaded_) {
        Load();
    }
    QDialog::showEvent(event);
}

void Form3::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog: its choices are gone.
    loaded_ = false;
    QDialog::closeEvent(event);
}

void Form3::reject() {
    hide();
}

void Form3::SetOperationRunning(bool running) {
    Command1->setEnabled(!running);
}

void Form3::OnOk() {
    hide();
    Q_EMIT reportRequested(DTPicker1->date(), DTPicker2->date(),
                           static_cast<qint16>(Combo1->currentIndex()),
                           Check1->isChecked() ? quint8(1) : quint8(0));
}

}  // namespace mereval::ui
