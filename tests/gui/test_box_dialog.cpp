#include "session/session_view.h"
#include "ui/box_answer_sink.h"
#include "ui/box_stack.h"
#include "ui/form2.h"
#include "ui/key_clock.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mereval::ui {
namespace {

using session::kBoxButtons;
using session::kBoxInput;
using session::kBoxMessage;
using session::kBoxSecretInput;
using Answers = std::vector<std::string>;

class RecordingSink : public BoxAnswerSink {
public:
    void ButtonResponse(quint8 buttonCode) override {
        answers.push_back("button " + std::to_string(buttonCode));
    }
    void InputResponse(quint8 buttonCode, const QString& text) override {
        answers.push_back("input " + std::to_string(buttonCode) + " " + text.toStdString());
    }
    Answers answers;
};

template <typename T>
T* Control(QWidget* box, const char* name) {
    T* control = box->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

QPushButton* Button(QWidget* box, int number) {
    return Control<QPushButton>(box, ("Command" + std::to_string(number)).c_str());
}

QStringList VisibleCaptions(QWidget* box) {
    QStringList captions;
    for (int number = 1; number <= 3; ++number) {
        if (Button(box, number)->isVisible()) {
            captions.append(Button(box, number)->text());
        }
    }
    return captions;
}

QStringList VisibleImages(QWidget* box) {
    QStringList images;
    for (const char* name : {"Image2", "Image3", "Image4", "Image5"}) {
        if (Control<QLabel>(box, name)->isVisible()) {
            images.append(QString::fromLatin1(name));
        }
    }
    return images;
}

bool IsClosed(const QPointer<Form2>& box) {
    return box.isNull() || !box->isVisible();
}

// The main window is a plain widget and the clock is the test's: key events
// carry stamps from it, and Timer1's tick reads it.
class BoxDialog : public ::testing::Test {
protected:
    BoxDialog() {
        mainWindow_.resize(800, 500);
        mainWindow_.show();
    }

    Form2* Open(quint8 type, const QString& text, qint32 flags) {
        stack_.OpenBox(type, text, flags);
        return stack_.Top();
    }

    // Sends the characters as key presses stamped gapMs apart from the first.
    static void TypeStamped(QWidget* target, const QString& text, quint64 firstStamp,
                            quint64 gapMs) {
        quint64 stamp = firstStamp;
        for (const QChar character : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
            press.setTimestamp(stamp);
            QApplication::sendEvent(target, &press);
            stamp += gapMs;
        }
    }

    // Types the characters 100 ms apart, as a cashier does, and lets the
    // capture timer judge each one.
    void TypeByHand(QWidget* box, const QString& text) {
        for (const QChar character : text) {
            const quint64 stamp = now_;
            now_ += 100;
            TypeStamped(Control<QLineEdit>(box, "Text1"), QString(character), stamp, 0);
            ASSERT_TRUE(WaitForCaptureTick(box));
        }
    }

    static bool WaitForCaptureTick(QWidget* box) {
        return QTest::qWaitFor([box] { return !Control<QTimer>(box, "Timer1")->isActive(); });
    }

    QWidget mainWindow_;
    RecordingSink sink_;
    quint64 now_ = 7'000'000;
    BoxStack stack_{mainWindow_, sink_, [this] { return now_; }};
};

TEST_F(BoxDialog, ErrorBoxShowsOneOkOverTheDisabledMainWindowAndSendsNothing) {
    const QPointer<Form2> box = Open(kBoxMessage, QStringLiteral("Vigane summa."), 16);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Mereval"));
    EXPECT_EQ(Control<QLabel>(box, "Label1")->text(), QStringLiteral("Vigane summa."));
    EXPECT_EQ(VisibleCaptions(box), QStringList{QStringLiteral("OK")});
    EXPECT_EQ(VisibleImages(box), QStringList{QStringLiteral("Image5")});
    EXPECT_EQ(box->focusWidget(), Button(box, 1));
    EXPECT_LE((box->geometry().center() - mainWindow_.geometry().center()).manhattanLength(), 2);
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_TRUE(box->isEnabled());

    QTest::keyClick(box, Qt::Key_Escape);  // no cancel button: stays open
    EXPECT_EQ(stack_.Count(), 1);
    QTest::mouseClick(Button(box, 1), Qt::LeftButton);
    EXPECT_TRUE(IsClosed(box));
    EXPECT_EQ(stack_.Count(), 0);
    EXPECT_TRUE(mainWindow_.isEnabled());

    // A message box shows "OK" only, whatever its flags ask for.
    const QPointer<Form2> question = Open(kBoxMessage, QStringLiteral("Viga."), 3 + 256 + 64);
    EXPECT_EQ(VisibleCaptions(question), QStringList{QStringLiteral("OK")});
    EXPECT_EQ(VisibleImages(question), QStringList{QStringLiteral("Image3")});
    question->close();
    EXPECT_TRUE(IsClosed(question));
    EXPECT_TRUE(sink_.answers.empty());
}

TEST_F(BoxDialog, EveryButtonAnswersTheCodeOfItsCaption) {
    const QMap<QString, int> codeOf{{QStringLiteral("OK"), 1},     {QStringLiteral("Cancel"), 2},
                                    {QStringLiteral("Abort"), 3},  {QStringLiteral("Retry"), 4},
                                    {QStringLiteral("Ignore"), 5}, {QStringLiteral("Yes"), 6},
                                    {QStringLiteral("No"), 7}};
    const QList<QStringList> sets{
        {QStringLiteral("OK")},
        {QStringLiteral("OK"), QStringLiteral("Cancel")},
        {QStringLiteral("Abort"), QStringLiteral("Retry"), QStringLiteral("Ignore")},
        {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")},
        {QStringLiteral("Yes"), QStringLiteral("No")},
        {QStringLiteral("Retry"), QStringLiteral("Cancel")}};
    for (int set = 0; set < 16; ++set) {
        const QStringList captions = set < sets.size() ? sets[set] : sets[0];
        for (int button = 1; button <= captions.size(); ++button) {
            sink_.answers.clear();
            Form2* box = Open(kBoxButtons, QStringLiteral("Jätkata?"), set);
            EXPECT_EQ(VisibleCaptions(box), captions) << "set " << set;
            QTest::mouseClick(Button(box, button), Qt::LeftButton);
            EXPECT_EQ(sink_.answers,
                      Answers{"button " + std::to_string(codeOf[captions[button - 1]])})
                << "set " << set << ", button " << button;
        }
        // The window's close control answers as the second button, or 0.
        sink_.answers.clear();
        Open(kBoxButtons, QStringLiteral("Jätkata?"), set)->close();
        const int closeCode = captions.size() > 1 ? codeOf[captions[1]] : 0;
        EXPECT_EQ(sink_.answers, Answers{"button " + std::to_string(closeCode)}) << "set " << set;
    }
    EXPECT_EQ(stack_.Count(), 0);
}

TEST_F(BoxDialog, FlagsChooseTheDefaultButtonThatEnterPresses) {
    struct Case {
        qint32 flags;
        int defaultButton;
        std::string answer;
    };
    for (const Case& c :
         {Case{4 + 256, 2, "button 7"}, Case{3 + 512, 3, "button 2"}, Case{3 + 768, 3, "button 2"},
          Case{1 + 512, 1, "button 1"}, Case{0 + 256, 1, "button 1"}}) {
        sink_.answers.clear();
        Form2* box = Open(kBoxButtons, QStringLiteral("Kas jätkata?"), c.flags);
        EXPECT_EQ(box->focusWidget(), Button(box, c.defaultButton)) << c.flags;
        EXPECT_TRUE(Button(box, c.defaultButton)->isDefault()) << c.flags;
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(sink_.answers, Answers{c.answer}) << c.flags;
    }
}

TEST_F(BoxDialog, InputBoxAnswersTheTypedTextWithOkOrCancel) {
    // Asked for Yes/No: the buttons become OK/Cancel.
    Form2* box = Open(kBoxInput, QStringLiteral("Sisesta kood:"), 4);
    auto* field = Control<QLineEdit>(box, "Text1");
    EXPECT_TRUE(Control<QFrame>(box, "Frame2")->isVisible());
    EXPECT_FALSE(Control<QFrame>(box, "Frame1")->isVisible());
    EXPECT_EQ(Control<QLabel>(box, "Label2")->text(), QStringLiteral("Sisesta kood:"));
    EXPECT_EQ(VisibleCaptions(box), (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    EXPECT_EQ(box->focusWidget(), field);
    QTest::keyClicks(field, QStringLiteral("1234"));
    EXPECT_EQ(field->displayText(), QStringLiteral("1234"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(sink_.answers, Answers{"input 1 1234"});

    sink_.answers.clear();
    field = Control<QLineEdit>(Open(kBoxInput, QStringLiteral("Sisesta kood:"), 0), "Text1");
    QTest::keyClicks(field, QStringLiteral("55"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(sink_.answers, Answers{"input 2 55"});
    EXPECT_EQ(stack_.Count(), 0);
}

TEST_F(BoxDialog, SecretInputAnswersASwipeWholeEvenAfterAKeyByHand) {
    Form2* box = Open(kBoxSecretInput, QStringLiteral("Libista kaart:"), 1);
    auto* field = Control<QLineEdit>(box, "Text1");
    TypeByHand(box, QStringLiteral("9"));

    const QString track = QStringLiteral(";4761739001010010=2512?");
    const quint64 firstStamp = now_ + 1000;
    now_ = firstStamp + track.size() + 55;  // the tick, 55 ms after the last key
    TypeStamped(field, track, firstStamp, 1);
    ASSERT_TRUE(WaitForCaptureTick(box));
    EXPECT_EQ(field->text(), QStringLiteral("9") + track);
    EXPECT_EQ(field->displayText(), QString(track.size() + 1, u'*'));

    QTest::mouseClick(Button(box, 1), Qt::LeftButton);
    EXPECT_EQ(sink_.answers, Answers{"input 1 " + track.toStdString()});
}

TEST_F(BoxDialog, SecretInputTypedByHandAnswersTheField) {
    Form2* box = Open(kBoxSecretInput, QStringLiteral("PIN:"), 1);
    // A coarse timer may tick 5 % early and take a key by hand for a swipe's.
    EXPECT_EQ(Control<QTimer>(box, "Timer1")->timerType(), Qt::PreciseTimer);
    TypeByHand(box, QStringLiteral("1234"));
    QTest::keyClick(Control<QLineEdit>(box, "Text1"), Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(sink_.answers, Answers{"input 1 123"});

    // Keys 100 ms apart that a busy event loop delivers together are still
    // typing, not a swipe.
    sink_.answers.clear();
    box = Open(kBoxSecretInput, QStringLiteral("PIN:"), 1);
    auto* field = Control<QLineEdit>(box, "Text1");
    const quint64 firstStamp = now_;
    now_ += 355;
    TypeStamped(field, QStringLiteral("1234"), firstStamp, 100);
    QTest::keyClick(field, Qt::Key_Backspace);
    ASSERT_TRUE(WaitForCaptureTick(box));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(sink_.answers, Answers{"input 1 123"});
}

TEST_F(BoxDialog, OnlyTheTopBoxTakesInput) {
    const QPointer<Form2> lower = Open(kBoxSecretInput, QStringLiteral("Libista kaart:"), 1);
    const QPointer<Form2> upper = Open(kBoxMessage, QStringLiteral("Printer ei vasta."), 48);
    auto* lowerField = Control<QLineEdit>(lower, "Text1");
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_FALSE(lower->isEnabled());
    EXPECT_TRUE(upper->isEnabled());
    EXPECT_EQ(stack_.Top(), upper);

    QTest::mouseClick(Button(lower, 1), Qt::LeftButton);
    TypeStamped(lowerField, QStringLiteral("77"), now_, 1);
    // The window manager's close, delivered as the window system delivers it.
    QCloseEvent closeControl;
    QSpontaneKeyEvent::setSpontaneous(&closeControl);
    QApplication::instance()->notify(lower, &closeControl);
    EXPECT_FALSE(closeControl.isAccepted());
    EXPECT_EQ(stack_.Count(), 2);
    EXPECT_TRUE(lowerField->text().isEmpty());

    QTest::mouseClick(Button(upper, 1), Qt::LeftButton);
    EXPECT_TRUE(IsClosed(upper));
    EXPECT_TRUE(lower->isEnabled());
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_EQ(stack_.Top(), lower);

    QTest::keyClicks(lowerField, QStringLiteral("12"));
    QTest::mouseClick(Button(lower, 1), Qt::LeftButton);
    EXPECT_EQ(sink_.answers, Answers{"input 1 12"});
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_EQ(stack_.Count(), 0);
}

TEST_F(BoxDialog, LongTextMakesTheBoxTallerAndStaysInside) {
    Form2* box = Open(kBoxMessage, QStringLiteral("Vigane summa."), 16);
    EXPECT_EQ(box->height(), Twips(1545));
    box->close();

    const QString longText =
        QStringLiteral("Kaardi lugemine ebaõnnestus, proovi uuesti. ").repeated(8);
    box = Open(kBoxButtons, longText, 4);
    auto* label = Control<QLabel>(box, "Label1");
    auto* panel = Control<QFrame>(box, "Frame1");
    EXPECT_GT(box->height(), Twips(1545));
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_LT(label->geometry().bottom(), panel->height());
    EXPECT_LT(panel->geometry().bottom(), box->height());
    box->close();

    box = Open(kBoxInput, longText, 1);
    auto* prompt = Control<QLabel>(box, "Label2");
    auto* field = Control<QLineEdit>(box, "Text1");
    EXPECT_GT(box->height(), Twips(1545));
    EXPECT_GT(field->y(), prompt->geometry().bottom());
    EXPECT_LT(field->geometry().bottom(), Control<QFrame>(box, "Frame2")->height());
    EXPECT_LT(Control<QFrame>(box, "Frame2")->geometry().bottom(), box->height());
}

TEST_F(BoxDialog, ReleaseBoxesClosesEveryBoxWithoutAnswers) {
    const QList<QPointer<Form2>> boxes{Open(kBoxButtons, QStringLiteral("Jätkata?"), 4),
                                       Open(kBoxInput, QStringLiteral("Kood:"), 1),
                                       Open(kBoxSecretInput, QStringLiteral("PIN:"), 1)};
    QTest::keyClicks(Control<QLineEdit>(boxes[2], "Text1"), QStringLiteral("12"));
    stack_.ReleaseBoxes();
    for (const QPointer<Form2>& box : boxes) {
        EXPECT_TRUE(IsClosed(box));
    }
    EXPECT_EQ(stack_.Count(), 0);
    EXPECT_EQ(stack_.Top(), nullptr);
    EXPECT_TRUE(sink_.answers.empty());
    EXPECT_TRUE(mainWindow_.isEnabled());
}

TEST_F(BoxDialog, ClosingABoxBelowTheTopKeepsTheBoxesAboveInPlace) {
    const QPointer<Form2> first = Open(kBoxMessage, QStringLiteral("Esimene."), 0);
    const QPointer<Form2> middle = Open(kBoxButtons, QStringLiteral("Jätkata?"), 4);
    const QPointer<Form2> top = Open(kBoxMessage, QStringLiteral("Kolmas."), 0);
    stack_.CloseBox(2);
    EXPECT_EQ(sink_.answers, Answers{"button 7"});  // as its second button
    EXPECT_TRUE(IsClosed(middle));
    EXPECT_EQ(stack_.Top(), top);
    EXPECT_TRUE(top->isEnabled());
    EXPECT_FALSE(first->isEnabled());

    top->close();
    EXPECT_EQ(stack_.Top(), first);
    EXPECT_TRUE(first->isEnabled());
    EXPECT_FALSE(mainWindow_.isEnabled());
}

TEST_F(BoxDialog, ASecondClickAfterTheAnswerSendsNothing) {
    Form2* box = Open(kBoxButtons, QStringLiteral("Jätkata?"), 1);
    Button(box, 1)->click();
    Button(box, 1)->click();  // no event loop ran: the closed box still exists
    EXPECT_EQ(sink_.answers, Answers{"button 1"});
}

TEST_F(BoxDialog, BringTopToFrontActivatesTheTopBox) {
    Open(kBoxMessage, QStringLiteral("Esimene."), 64);
    Form2* top = Open(kBoxMessage, QStringLiteral("Teine."), 64);
    mainWindow_.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &mainWindow_; }));
    stack_.BringTopToFront();
    EXPECT_TRUE(QTest::qWaitFor([top] { return QApplication::activeWindow() == top; }));
}

TEST(KeyTime, TakesTheEventsOwnStampOnlyWhenItFitsTheClock) {
    const quint64 now = (quint64{1} << 32) + 10;  // X server time wrapped 10 ms ago
    QKeyEvent key(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
    key.setTimestamp(0);  // made by the program
    EXPECT_EQ(KeyTime(key, now), now);
    key.setTimestamp((quint64{1} << 32) - 20);  // 32-bit X time before the wrap
    EXPECT_EQ(ElapsedMs(KeyTime(key, now), now), 30u);
    key.setTimestamp(now + 5);
    EXPECT_EQ(KeyTime(key, now), now);
    key.setTimestamp(now - 3'600'000);  // another time base
    EXPECT_EQ(KeyTime(key, now), now);
}

}  // namespace
}  // namespace mereval::ui
