#include "ui/form2.h"

#include "session/session_view.h"
#include "ui/accessibility.h"
#include "ui/box_answer_sink.h"
#include "ui/box_flags.h"
#include "ui/box_icons.h"
#include "ui/track_normalizer.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace mereval::ui {
namespace {

using session::kBoxButtons;
using session::kBoxInput;
using session::kBoxMessage;
using session::kBoxSecretInput;

// The box has answered and cannot answer again.
constexpr quint8 kBoxAnswered = 100;
constexpr qint32 kOkCancelButtons = 1;

// Layout in twips. The window manager draws the frame, so the client area
// keeps its 1545 of the original 1800 outer height and grows by what a panel
// needs beyond its 1095.
constexpr int kClientWidth = 5640;
constexpr int kClientHeight = 1545;
constexpr int kPanelHeight = 1095;
constexpr int kLabelLeft = 120;
constexpr int kLabelTop = 240;
constexpr int kLabelMinHeight = 195;
constexpr int kLabel1Width = 3315;
constexpr int kLabel2Width = 3915;
constexpr int kGapBelowLabel = 210;
constexpr int kGapBelowField = 150;

constexpr int kCaptureTimerMs = 55;
// A card reader types faster than this; a cashier never does.
constexpr qint64 kMaxCaptureMsPerCharacter = 20;

// Shows every character of a masked field as "*", whatever the style's own
// mask character is.
class AsteriskMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return u'*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QFrame* MakePanel(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::NoFrame);
    panel->setAutoFillBackground(true);
    panel->setGeometry(geometry);
    panel->hide();
    return panel;
}

QLabel* MakeTextLabel(QWidget* panel, const QString& name) {
    auto* label = new QLabel(panel);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    // The payment system's texts are shown as they come, never as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Wraps the words at the label's fixed width and lets it grow downward.
void FitLabel(QLabel* label, int widthTwips) {
    const int width = Twips(widthTwips);
    const int height = std::max(Twips(kLabelMinHeight), label->heightForWidth(width));
    label->setGeometry(Twips(kLabelLeft), Twips(kLabelTop), width, height);
}

QLabel* MakeImage(QWidget* parent, const QString& name, BoxIcon icon) {
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(TwipsRect(120, 240, 480, 480));
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setPixmap(DrawBoxIcon(icon));
    image->hide();
    return image;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, int topTwips) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setGeometry(TwipsRect(4440, topTwips, 1095, 375));
    return button;
}

void MakeDefault(QPushButton* button) {
    button->setDefault(true);
    button->setFocus();
}

}  // namespace

Form2::Form2(BoxAnswerSink& sink, KeyClock clock, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      sink_(sink),
      clock_(std::move(clock)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Mereval"));
    setAttribute(Qt::WA_DeleteOnClose);
    CreateControls();
}

void Form2::CreateControls() {
    setFont(WindowFont());
    // The pictures first: the input panel, opaque, covers them.
    Image2 = MakeImage(this, QStringLiteral("Image2"), BoxIcon::Exclamation);
    Image3 = MakeImage(this, QStringLiteral("Image3"), BoxIcon::Information);
    Image4 = MakeImage(this, QStringLiteral("Image4"), BoxIcon::Question);
    Image5 = MakeImage(this, QStringLiteral("Image5"), BoxIcon::Critical);

    Frame1 = MakePanel(this, QStringLiteral("Frame1"), TwipsRect(720, 120, 3615, 615));
    Label1 = MakeTextLabel(Frame1, QStringLiteral("Label1"));
    Frame2 = MakePanel(this, QStringLiteral("Frame2"), TwipsRect(120, 120, 4215, 1095));
    Label2 = MakeTextLabel(Frame2, QStringLiteral("Label2"));
    Text1 = new QLineEdit(Frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(120, 600, 3975, 285));
    auto* maskStyle = new AsteriskMaskStyle;
    maskStyle->setParent(Text1);
    Text1->setStyle(maskStyle);

    Command1 = MakeButton(this, QStringLiteral("Command1"), 240);
    Command1->setText(QStringLiteral("OK"));
    Command2 = MakeButton(this, QStringLiteral("Command2"), 660);
    Command2->hide();
    Command3 = MakeButton(this, QStringLiteral("Command3"), 1080);
    Command3->hide();
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Text1);
    connect(Command1, &QPushButton::clicked, this, [this] { AnswerAndClose(1); });
    connect(Command2, &QPushButton::clicked, this, [this] { AnswerAndClose(2); });
    connect(Command3, &QPushButton::clicked, this, [this] { AnswerAndClose(3); });

    // Key preview: every control that can hold the focus shows its keys to
    // the box first, and still gets them.
    for (QWidget* control : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(Command1),
                             static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command3)}) {
        control->installEventFilter(this);
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kCaptureTimerMs);
    Timer1->setSingleShot(true);
    // A coarse timer may fire 5 % early and cut a box's capture short.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this,
            [this] { DropSlowCapture(ElapsedMs(LastKeyTime, clock_())); });
    NameFieldsAfterLabels(*this);
}

void Form2::ShowBox(qint16 index, quint8 type, const QString& text, qint32 flags) {
    LastKeyTime = clock_();
    CaptureText.clear();
    Text1->clear();
    BoxIndex = index;
    // Laid out before it is shown, so that it is centred at its final size.
    LayoutBox(type, text, flags);
    show();
    activateWindow();
}

void Form2::LayoutBox(quint8 type, const QString& text, qint32 flags) {
    BoxType = type;
    Buttons = flags;
    setFixedSize(Twips(kClientWidth), Twips(kClientHeight));
    if (type > kBoxSecretInput) {
        return;
    }
    if (type == kBoxMessage || type == kBoxButtons) {
        Label1->setText(text);
        Frame1->show();
        Frame2->hide();
        if (type == kBoxMessage) {
            Buttons &= ~kButtonSetMask;
        }
        SetupButtons(Buttons);
        FitLabel(Label1, kLabel1Width);
        SetPanelHeight(Frame1, Label1->y() + Label1->height() + Twips(kGapBelowLabel));
        return;
    }
    Label2->setText(text);
    Frame1->hide();
    Frame2->show();
    Buttons = (Buttons & ~kButtonSetMask) | kOkCancelButtons;
    SetupButtons(Buttons);
    FitLabel(Label2, kLabel2Width);
    Text1->move(Text1->x(), Label2->y() + Label2->height() + Twips(kGapBelowLabel));
    SetPanelHeight(Frame2, Text1->y() + Text1->height() + Twips(kGapBelowField));
    Text1->setFocus();
    Text1->setEchoMode(type == kBoxSecretInput ? QLineEdit::Password : QLineEdit::Normal);
}

void Form2::SetPanelHeight(QFrame* panel, int height) {
    panel->resize(panel->width(), height);
    const int growth = std::max(0, height - Twips(kPanelHeight));
    setFixedSize(Twips(kClientWidth), Twips(kClientHeight) + growth);
}

void Form2::SetupButtons(qint32 flags) {
    Command1->show();
    Command2->hide();
    Command3->hide();
    for (QLabel* image : {Image2, Image3, Image4, Image5}) {
        image->hide();
    }

    const QStringList captions = ButtonCaptions(flags);
    Command1->setText(captions.at(0));
    if (captions.size() > 1) {
        Command2->setText(captions.at(1));
        Command2->show();
    }
    if (captions.size() > 2) {
        Command3->setText(captions.at(2));
        Command3->show();
    }

    MakeDefault(Command1);
    if ((flags & kSecondButtonDefault) != 0 && !Command2->isHidden()) {
        MakeDefault(Command2);
    }
    if ((flags & kThirdButtonDefault) != 0 && !Command3->isHidden()) {
        MakeDefault(Command3);
    }

    switch (IconOf(flags)) {
        case BoxIcon::Critical:
            Image5->show();
            break;
        case BoxIcon::Question:
            Image4->show();
            break;
        case BoxIcon::Exclamation:
            Image2->show();
            break;
        case BoxIcon::Information:
            Image3->show();
            break;
        case BoxIcon::None:
            break;
    }
}

void Form2::SendAnswer(int button) {
    Timer1->stop();
    if (BoxType != kBoxButtons && BoxType != kBoxInput && BoxType != kBoxSecretInput) {
        return;
    }
    const quint8 code = MapButtonCode(button, Buttons);
    // Marked answered before the answer goes out: sending may let events run,
    // and none of them may answer this box again.
    const quint8 type = std::exchange(BoxType, kBoxAnswered);
    if (type == kBoxButtons) {
        sink_.ButtonResponse(code);
    } else if (type == kBoxInput) {
        sink_.InputResponse(code, Text1->text());
    } else {
        if (CaptureText.isEmpty()) {
            CaptureText = Text1->text();
        }
        sink_.InputResponse(code, NormalizeTrackText(CaptureText));
    }
}

void Form2::AnswerAndClose(int button) {
    SendAnswer(button);
    close();
}

void Form2::reject() {
    if (!Command2->isHidden() && Command2->isEnabled()) {
        Command2->click();
    }
}

void Form2::closeEvent(QCloseEvent* event) {
    // Only the top box takes input, so a box below it cannot be closed by
    // hand either.
    if (event->spontaneous() && !isEnabled()) {
        event->ignore();
        return;
    }
    Timer1->stop();
    SendAnswer(2);
    event->accept();
    Q_EMIT BoxClosed(BoxIndex);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isEnabled()) {
        NoteTypedKey(*static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::NoteTypedKey(const QKeyEvent& event) {
    const QString typed = event.text();
    // Enter, Esc, Backspace and the like are no part of a card's track.
    if (typed.isEmpty() || !std::all_of(typed.cbegin(), typed.cend(),
                                        [](QChar character) { return character.isPrint(); })) {
        return;
    }
    const quint64 keyTime = KeyTime(event, clock_());
    // Keys held up by a busy event loop arrive together: a tick of Timer1
    // that was due between two of them still judges the capture, as of the
    // moment it was due.
    if (Timer1->isActive() && ElapsedMs(LastKeyTime, keyTime) >= kCaptureTimerMs) {
        DropSlowCapture(kCaptureTimerMs);
    }
    CaptureText += typed;
    Timer1->start();
    LastKeyTime = keyTime;
}

void Form2::DropSlowCapture(quint32 elapsedMs) {
    if (!CaptureText.isEmpty() &&
        elapsedMs > kMaxCaptureMsPerCharacter * static_cast<qint64>(CaptureText.size())) {
        CaptureText.clear();
    }
}

}  // namespace mereval::ui
