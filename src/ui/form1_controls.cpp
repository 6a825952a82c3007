#include "ui/form1.h"

#include "session/operation_table.h"
#include "ui/logo.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>

#include <algorithm>

// The main window's controls at their places.
namespace mereval::ui {
namespace {

using session::Operation;
using session::Operations;

constexpr int kMaxReceiptNumberLength = 6;

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

// Every caption in full and with room around it, whatever face the machine
// gives for Arial: the padding narrows first, then the face.
void FitTabCaptions(QTabBar* strip, int width) {
    constexpr int kWidestPadding = 6;
    constexpr int kNarrowestPadding = 3;
    constexpr double kSmallestPointSize = 6.0;
    QFont font = strip->font();
    for (;;) {
        for (int padding = kWidestPadding; padding >= kNarrowestPadding; --padding) {
            strip->setStyleSheet(
                QStringLiteral("QTabBar::tab { padding: 3px %1px; margin: 0px; }").arg(padding));
            if (strip->sizeHint().width() <= width) {
                return;
            }
        }
        if (font.pointSizeF() <= kSmallestPointSize) {
            return;
        }
        font.setPointSizeF(font.pointSizeF() - 0.25);
        strip->setFont(font);
    }
}

QGroupBox* NewFrame(QWidget* parent, const char* name) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(TwipsRect(240, 360, 5535, 1095));
    return frame;
}

}  // namespace

void Form1::BuildControls() {
    const QFont windowFont = WindowFont();
    setFont(windowFont);

    auto* client = new QWidget(this);
    client->setFixedSize(Twips(7215), Twips(2370));
    setCentralWidget(client);

    TabStrip1 = new QTabBar(client);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    for (const Operation& operation : Operations()) {
        TabStrip1->addTab(QString::fromUtf16(operation.caption));
    }
    TabStrip1->setExpanding(false);
    TabStrip1->setUsesScrollButtons(false);
    FitTabCaptions(TabStrip1, Twips(5775));
    TabStrip1->setDrawBase(true);
    TabStrip1->setGeometry(TwipsRect(120, 0, 5775, 1575));
    // The page area below the tabs, on which the frames lie.
    tabPage_ = new QFrame(client);
    tabPage_->setObjectName(QStringLiteral("TabPage"));
    tabPage_->setFrameShape(QFrame::StyledPanel);
    tabPage_->setGeometry(QRect(Twips(120), TabStrip1->sizeHint().height(), Twips(5775),
                                Twips(1575) - TabStrip1->sizeHint().height()));
    TabStrip1->setGeometry(Twips(120), 0, Twips(5775), TabStrip1->sizeHint().height());

    Frame1 = NewFrame(client, "Frame1");
    Label1 = NewLabel(Frame1, "Label1", QStringLiteral("Summa:"), TwipsRect(240, 360, 615, 255));
    Text2 = NewField(Frame1, "Text2", TwipsRect(1200, 360, 855, 285));
    Label2 =
        NewLabel(Frame1, "Label2", QStringLiteral("Kaardi nr."), TwipsRect(240, 720, 735, 255));
    Text1 = NewField(Frame1, "Text1", TwipsRect(1200, 720, 4215, 285));

    Frame2 = NewFrame(client, "Frame2");
    Label3 =
        NewLabel(Frame2, "Label3", QStringLiteral("Kviitungi nr."), TwipsRect(240, 360, 855, 255));
    Text3 = NewField(Frame2, "Text3", TwipsRect(1200, 360, 855, 285));

    Frame3 = NewFrame(client, "Frame3");
    Label8 =
        NewLabel(Frame3, "Label8", QStringLiteral("Kviitungi nr."), TwipsRect(240, 360, 975, 255));
    Text8 = NewField(Frame3, "Text8", TwipsRect(1200, 360, 855, 285));
    Label9 = NewLabel(Frame3, "Label9", QStringLiteral("Summa:"), TwipsRect(240, 720, 615, 255));
    Text9 = NewField(Frame3, "Text9", TwipsRect(1200, 720, 855, 285));

    Frame5 = NewFrame(client, "Frame5");
    Label4 =
        NewLabel(Frame5, "Label4", QStringLiteral("Kviitungi nr."), TwipsRect(240, 360, 855, 255));
    Text4 = NewField(Frame5, "Text4", TwipsRect(1200, 360, 855, 285));
    Text4->setMaxLength(kMaxReceiptNumberLength);
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
    // Below 96 dots per inch the twips are fewer pixels than the picture has.
    Image1->resize(Image1->size().expandedTo(Image1->pixmap().size()));
    // A wider face than Arial's metrics must not cut a label's last letters.
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label7, Label8, Label9}) {
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    }

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

    // Only a change of the selected tab counts: a click of any button on the
    // tab that is selected already changes nothing.
    connect(TabStrip1, &QTabBar::currentChanged, this, &Form1::OnTabChange);
    for (QWidget* control :
         {static_cast<QWidget*>(TabStrip1), static_cast<QWidget*>(Text10),
          static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text3),
          static_cast<QWidget*>(Text4), static_cast<QWidget*>(Text7), static_cast<QWidget*>(Text8),
          static_cast<QWidget*>(Text9)}) {
        control->installEventFilter(this);
    }

    keyboard_ =
        new KeyboardPath(*this, *Text2, [this](const QKeyEvent& key) { return PreviewKey(key); });
    connect(keyboard_, &KeyboardPath::Swiped, this, &Form1::OnSwipe);
    // The window's size is its client area's and the menu's, and stays so.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace mereval::ui
