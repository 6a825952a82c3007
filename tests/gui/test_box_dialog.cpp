#include "session/session_view.h"
#include "ui/box_answer_sink.h"
#include "ui/box_stack.h"
#include "ui/form2.h"
#include "ui/key_clock.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mereval::ui {
namespace {

using namespace Qt::StringLiterals;
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

template <typename T = QWidget>
T* Get(QWidget* box, const char* name) {
    T* control = box->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

QPushButton* Button(QWidget* box, int number) {
    return Get<QPushButton>(box, ("Command" + std::to_string(number)).c_str());
}

QStringList Captions(QWidget* box) {
    QStringList captions;
    for (const int number : {1, 2, 3}) {
        if (Button(box, number)->isVisible()) {
            captions.append(Button(box, number)->text());
        }
    }
    return captions;
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
    static void TypeStamped(QWidget* box, const QString& text, quint64 firstStamp, quint64 gapMs) {
        for (const QChar character : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
            press.setTimestamp(firstStamp);
            QApplication::sendEvent(Get(box, "Text1"), &press);
            firstStamp += gapMs;
        }
    }
    static bool WaitForCaptureTick(QWidget* box) {
        return QTest::qWaitFor([box] { return !Get<QTimer>(box, "Timer1")->isActive(); });
    }

    QWidget mainWindow_;
    RecordingSink sink_;
    quint64 now_ = 7'000'000;
    BoxStack stack_{mainWindow_, sink_, [this] { return now_; }};
};

TEST_F(BoxDialog, MessageBoxShowsOneOkOverTheDisabledMainWindowAndSendsNothing) {
    // "OK" only, whatever the flags ask for.
    const QPointer<Form2> box = Open(kBoxMessage, u"Vigane summa."_s, 3 + 256 + 64);
    EXPECT_EQ(Get<QLabel>(box, "Label1")->text(), u"Vigane summa."_s);
    EXPECT_EQ(Captions(box), QStringList{u"OK"_s});
    EXPECT_FALSE(mainWindow_.isEnabled());
    QTest::keyClick(box, Qt::Key_Escape);  // no cancel button: stays open
    EXPECT_EQ(stack_.Count(), 1);
    QTest::mouseClick(Button(box, 1), Qt::LeftButton);
    EXPECT_TRUE(IsClosed(box));
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_TRUE(sink_.answers.empty());
}

TEST_F(BoxDialog, EveryButtonAnswersTheCodeOfItsCaption) {
    const QStringList codes{{},         u"OK"_s,     u"Cancel"_s, u"Abort"_s,
                            u"Retry"_s, u"Ignore"_s, u"Yes"_s,    u"No"_s};
    const QList<QStringList> sets{{u"OK"_s},
                                  {u"OK"_s, u"Cancel"_s},
                                  {u"Abort"_s, u"Retry"_s, u"Ignore"_s},
                                  {u"Yes"_s, u"No"_s, u"Cancel"_s},
                                  {u"Yes"_s, u"No"_s},
                                  {u"Retry"_s, u"Cancel"_s}};
    for (int set = 0; set < 16; ++set) {
        const QStringList captions = sets.value(set, sets[0]);
        for (int button = 1; button <= captions.size(); ++button) {
            sink_.answers.clear();
            Form2* box = Open(kBoxButtons, u"Jätkata?"_s, set);
            EXPECT_EQ(Captions(box), captions) << "set " << set;
            QTest::mouseClick(Button(box, button), Qt::LeftButton);
            EXPECT_EQ(sink_.answers,
                      Answers{"button " + std::to_string(codes.indexOf(captions[button - 1]))})
                << "set " << set << ", button " << button;
        }
        // The window's close control answers as the second button, or 0.
        sink_.answers.clear();
        Open(kBoxButtons, u"Jätkata?"_s, set)->close();
        const qsizetype closeCode = captions.size() > 1 ? codes.indexOf(captions[1]) : 0;
        EXPECT_EQ(sink_.answers, Answers{"button " + std::to_string(closeCode)}) << "set " << set;
    }
    EXPECT_EQ(stack_.Count(), 0);

    // The flags choose the default button, which Enter presses.
    for (const auto& [flags, defaultButton, answer] : {std::tuple{4 + 256, 2, "button 7"},
                                                       {3 + 512, 3, "button 2"},
                                                       {3 + 768, 3, "button 2"},
                                                       {1 + 512, 1, "button 1"},
                                                       {0 + 256, 1, "button 1"}}) {
        sink_.answers.clear();
        Form2* box = Open(kBoxButtons, u"Kas jätkata?"_s, flags);
        EXPECT_EQ(box->focusWidget(), Button(box, defaultButton)) << flags;
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(sink_.answers, Answers{answer}) << flags;
    }
}

TEST_F(BoxDialog, InputBoxesAnswerTheTextASwipeWholeAndTypingAsTyped) {
    // Asked for Yes/No: the buttons become OK/Cancel, and Esc cancels.
    Form2* box = Open(kBoxInput, u"Sisesta kood:"_s, 4);
    EXPECT_EQ(Captions(box), (QStringList{u"OK"_s, u"Cancel"_s}));
    QTest::keyClicks(box->focusWidget(), u"55"_s);
    QTest::keyClick(box->focusWidget(), Qt::Key_Escape);

    box = Open(kBoxSecretInput, u"Libista kaart:"_s, 1);
    auto* field = Get<QLineEdit>(box, "Text1");
    // A coarse timer may tick 5 % early and take a key by hand for a swipe's.
    EXPECT_EQ(Get<QTimer>(box, "Timer1")->timerType(), Qt::PreciseTimer);
    TypeStamped(box, u"9"_s, now_, 0);  // a key by hand before the swipe
    now_ += 100;
    ASSERT_TRUE(WaitForCaptureTick(box));
    const QString track = u";4761739001010010=2512?"_s;
    const quint64 firstStamp = now_ + 1000;
    now_ = firstStamp + track.size() + 55;  // the tick, 55 ms after the last key
    TypeStamped(box, track, firstStamp, 1);
    ASSERT_TRUE(WaitForCaptureTick(box));
    EXPECT_EQ(field->displayText(), QString(track.size() + 1, u'*'));
    QTest::mouseClick(Button(box, 1), Qt::LeftButton);

    // Keys 100 ms apart that a busy event loop delivers together are still
    // typing, not a swipe.
    box = Open(kBoxSecretInput, u"PIN:"_s, 1);
    const quint64 typed = now_;
    now_ += 355;
    TypeStamped(box, u"1234"_s, typed, 100);
    QTest::keyClick(Get(box, "Text1"), Qt::Key_Backspace);
    ASSERT_TRUE(WaitForCaptureTick(box));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(sink_.answers,
              (Answers{"input 2 55", "input 1 " + track.toStdString(), "input 1 123"}));
}

TEST_F(BoxDialog, OnlyTheTopBoxTakesInputAndAnyBoxCanBeClosed) {
    const QPointer<Form2> question = Open(kBoxButtons, u"Jätkata?"_s, 4);
    const QPointer<Form2> lower = Open(kBoxSecretInput, u"Libista kaart:"_s, 1);
    const QPointer<Form2> upper = Open(kBoxMessage, u"Printer ei vasta."_s, 48);
    EXPECT_FALSE(lower->isEnabled());
    QTest::mouseClick(Button(lower, 1), Qt::LeftButton);
    TypeStamped(lower, u"77"_s, now_, 1);
    // The window manager's close, delivered as the window system delivers it.
    QCloseEvent closeControl;
    QSpontaneKeyEvent::setSpontaneous(&closeControl);
    QApplication::instance()->notify(lower, &closeControl);
    EXPECT_FALSE(closeControl.isAccepted());
    EXPECT_EQ(stack_.Count(), 3);

    QTest::mouseClick(Button(upper, 1), Qt::LeftButton);
    EXPECT_TRUE(lower->isEnabled());
    EXPECT_EQ(stack_.Top(), lower);
    // Closed from below the top, a box answers as its second button.
    stack_.CloseBox(1);
    EXPECT_TRUE(IsClosed(question));
    EXPECT_EQ(stack_.Top(), lower);
    QTest::keyClicks(Get(lower, "Text1"), u"12"_s);
    QTest::mouseClick(Button(lower, 1), Qt::LeftButton);
    Button(lower, 1)->click();  // no event loop ran: the closed box still exists
    EXPECT_EQ(sink_.answers, (Answers{"button 7", "input 1 12"}));
    EXPECT_TRUE(mainWindow_.isEnabled());

    // Released, the boxes close without answers.
    Open(kBoxMessage, u"Esimene."_s, 0);
    Open(kBoxSecretInput, u"PIN:"_s, 1);
    stack_.ReleaseBoxes();
    EXPECT_EQ(stack_.Top(), nullptr);
    EXPECT_EQ(sink_.answers.size(), 2u);
    EXPECT_TRUE(mainWindow_.isEnabled());
}

TEST(KeyTime, TakesTheEventsOwnStampOnlyWhenItFitsTheClock) {
    const quint64 now = (quint64{1} << 32) + 10;  // X server time wrapped 10 ms ago
    QKeyEvent key(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, u"1"_s);
    key.setTimestamp((quint64{1} << 32) - 20);  // 32-bit X time before the wrap
    EXPECT_EQ(ElapsedMs(KeyTime(key, now), now), 30u);
    // Made by the program, in the future, or on another time base.
    for (const quint64 stamp : {quint64{0}, now + 5, now - 3'600'000}) {
        key.setTimestamp(stamp);
        EXPECT_EQ(KeyTime(key, now), now) << stamp;
    }
}

}  // namespace
}  // namespace mereval::ui
