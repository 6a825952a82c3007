#include "ui/form4.h"

#include "ui/accessibility.h"
#include "ui/dialog_frame.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <utility>

namespace mereval::ui {
namespace {

// The list position is the command number that the terminal receives.
constexpr const char16_t* kCommands[] = {
    u"Terminali tehingute saatmine",
    u"Osakonna tehingute saatmine",
    u"Kliendikaartide andmete värskendamine",
};

}  // namespace

Form4::Form4(std::function<void(quint8)> preparePOSCommand, QWidget* owner)
    : QDialog(owner), preparePOSCommand_(std::move(preparePOSCommand)) {
    SetUpDialogFrame(*this, QStringLiteral("Form4"), QStringLiteral("Eritoimingud"));
    BuildControls();
}

void Form4::BuildControls() {
    setFont(WindowFont());
    setFixedSize(Twips(3630), Twips(1740));

    Label1 = Named(new QLabel(QStringLiteral("Toiming:"), this), "Label1",
                   TwipsRect(120, 240, 735, 255));
    Combo1 = Named(new QComboBox(this), "Combo1", TwipsRect(240, 600, 3255, 315));
    for (const char16_t* command : kCommands) {
        Combo1->addItem(QString::fromUtf16(command));
    }
    Combo1->setCurrentIndex(0);
    Command1 = Named(new QPushButton(QStringLiteral("OK"), this), "Command1",
                     TwipsRect(1200, 1200, 1095, 375));
    Command1->setDefault(true);
    Command2 = Named(new QPushButton(QStringLiteral("Loobu"), this), "Command2",
                     TwipsRect(2400, 1200, 1095, 375));
    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, Command2);
    connect(Command1, &QPushButton::clicked, this, &Form4::OnOk);
    connect(Command2, &QPushButton::clicked, this, &Form4::reject);
    NameFieldsAfterLabels(*this);
}

void Form4::showEvent(QShowEvent* event) {
    // Centred over the main window at every showing, wherever it has moved.
    if (const QWidget* owner = parentWidget()) {
        QRect area = frameGeometry();
        area.moveCenter(owner->frameGeometry().center());
        move(area.topLeft());
    }
    QDialog::showEvent(event);
}

void Form4::reject() {
    hide();
}

void Form4::OnOk() {
    hide();
    const int command = Combo1->currentIndex();
    if (command >= 0 && command < int(std::size(kCommands)) && preparePOSCommand_) {
        preparePOSCommand_(static_cast<quint8>(command));
    }
}

void Form4::SetOperationRunning(bool running) {
    Command1->setEnabled(!running);
}

}  // namespace mereval::ui
