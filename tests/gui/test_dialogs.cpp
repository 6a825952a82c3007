#include "platform/desktop_document_opener.h"
#include "session/session_view.h"
#include "support/temp_environment.h"
#include "ui/box_answer_sink.h"
#include "ui/box_stack.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mereval::ui {
namespace {

using namespace Qt::StringLiterals;
using Answers = std::vector<std::string>;

template <typename T = QPushButton>
T* Get(QWidget* dialog, const char* name) {
    T* control = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

void Retype(QLineEdit* field, const QString& text) {
    field->clear();
    QTest::keyClicks(field, text);
}

TEST(SettingsDialogTest, ConfirmStoresTheSevenKeysInOrderAndCancelNothing) {
    test::TempProgramEnvironment env;
    common::ProgramSettings settings;
    settings.fDoPrint = true;
    settings.fPort = 8145;
    settings.fReportMode = true;
    int applyCalls = 0;
    QWidget mainWindow;
    SettingsDialog dialog(
        settings, [] { return QStringList{u"Kassa"_s}; }, [&] { ++applyCalls; }, &mainWindow);
    auto* printer = Get<QComboBox>(&dialog, "Combo1");
    const auto open = [&] {
        dialog.ShowData();
        EXPECT_TRUE(QTest::qWaitFor([&] { return printer->count() == 1; }));
    };
    const auto field = [&](const char* name) { return Get<QLineEdit>(&dialog, name); };
    open();
    Retype(field("Text3"), u"9100"_s);
    QTest::mouseClick(Get(&dialog, "Command2"), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(env.SettingsPath()));
    open();
    Retype(field("Text1"), u"12345678"_s);
    Retype(field("Text2"), u"192.168.1.20"_s);
    Retype(field("Text3"), u"9100"_s);
    Retype(printer->lineEdit(), u"Puuduv printer"_s);
    for (const char* check : {"Check2", "Check1", "Check3"}) {
        Get<QCheckBox>(&dialog, check)->click();
    }
    QTest::keyClick(printer, Qt::Key_Return);
    EXPECT_EQ(applyCalls, 1);
    EXPECT_FALSE(settings.fReportMode);
    EXPECT_EQ(env.ReadFile(u"Tellur.conf"_s),
              QByteArray("POS=12345678\nDoPrint=0\nPrinter=Puuduv printer\n"
                         "KKAddress=192.168.1.20\nKKPort=9100\nRAW=1\nReportMode=0\n"));
    // A port is taken only when it is a number.
    open();
    Retype(field("Text3"), u"81a5"_s);
    QTest::mouseClick(Get(&dialog, "Command1"), Qt::LeftButton);
    EXPECT_EQ(settings.fPort, 9100);
}

TEST(ReportDialogTest, ReportAsksForTheChoicesOnlyByOkAndTheCloseBoxForgetsThem) {
    Form3 form;
    QSignalSpy requests(&form, &Form3::reportRequested);
    form.show();
    Get<QDateEdit>(&form, "DTPicker2")->setDate(QDate(2009, 3, 1));  // sent as it is
    Get<QComboBox>(&form, "Combo1")->setCurrentIndex(5);
    Get<QCheckBox>(&form, "Check1")->setChecked(false);
    QTest::keyClick(Get<QComboBox>(&form, "Combo1"), Qt::Key_Return);
    form.show();
    form.close();
    form.show();
    QTest::mouseClick(Get(&form, "Command1"), Qt::LeftButton);  // the choices anew
    EXPECT_EQ(requests, (QList<QList<QVariant>>{
                            {QDate::currentDate(), QDate(2009, 3, 1), qint16(5), quint8(0)},
                            {QDate::currentDate(), QDate::currentDate(), qint16(0), quint8(1)}}));
}

TEST(SpecialCommandDialogTest, SentOnlyByOk) {
    QWidget mainWindow;
    std::vector<quint8> sent;
    auto* form = new Form4([&sent](quint8 command) { sent.push_back(command); }, &mainWindow);
    form->show();
    auto* combo = Get<QComboBox>(form, "Combo1");
    QTest::keyClick(combo, Qt::Key_Return);  // the first command
    form->show();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::mouseClick(Get(form, "Command2"), Qt::LeftButton);
    form->show();
    QTest::mouseClick(Get(form, "Command1"), Qt::LeftButton);
    EXPECT_EQ(sent, (std::vector<quint8>{0, 2}));
}

// The desktop's launcher, replaced on PATH by one that fails as "no program
// takes this type" (3) for a file named bad.
TEST(DesktopDocumentOpenerTest, TellsLaterWhenNoViewerTakesTheFile) {
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8());
    int failures = 0;
    platform::DesktopDocumentOpener opener([&] { ++failures; });
    EXPECT_FALSE(opener.OpenDocument(u"/tmp/bad.pdf"_s));  // no launcher: refused at once
    QFile script(bin.filePath(u"xdg-open"_s));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ncase \"$1\" in *bad*) exit 3;; esac\n");
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    script.close();
    EXPECT_TRUE(opener.OpenDocument(u"/tmp/good.pdf"_s));
    EXPECT_TRUE(opener.OpenDocument(u"/tmp/bad.pdf"_s));
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures > 0; }));
    QTest::qWait(200);  // the good one ends meanwhile
    EXPECT_EQ(failures, 1);
    qputenv("PATH", path);
}

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

QPushButton* Button(QWidget* box, int number) {
    return Get(box, ("Command" + std::to_string(number)).c_str());
}

// Over a plain main window; key stamps and Timer1's tick read the test's clock.
class BoxDialog : public ::testing::Test {
protected:
    BoxDialog() { mainWindow_.show(); }

    Form2* Open(quint8 type, qint32 flags) {
        stack_.OpenBox(type, u"Jätkata?"_s, flags);
        return stack_.Top();
    }
    // The characters as key presses stamped gapMs apart from the first.
    static void TypeStamped(QWidget* box, const QString& text, quint64 stamp, quint64 gapMs) {
        for (const QChar character : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
            press.setTimestamp(stamp);
            QApplication::sendEvent(Get<QLineEdit>(box, "Text1"), &press);
            stamp += gapMs;
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

TEST_F(BoxDialog, EveryButtonAnswersItsCodeAndTheCloseControlTheSecondOrNone) {
    const std::vector<std::vector<int>> codes{{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}};
    for (int set = 0; set < 16; ++set) {
        const std::vector<int>& expected = set < 6 ? codes[set] : codes[0];
        Answers answers;
        for (std::size_t button = 1; button <= 3; ++button) {
            Form2* box = Open(session::kBoxButtons, set);
            EXPECT_EQ(Button(box, int(button))->isVisible(), button <= expected.size());
            if (button <= expected.size()) {
                QTest::mouseClick(Button(box, int(button)), Qt::LeftButton);
                answers.push_back("button " + std::to_string(expected[button - 1]));
            }
        }
        Open(session::kBoxButtons, set)->close();
        answers.push_back("button " + std::to_string(expected.size() > 1 ? expected[1] : 0));
        stack_.ReleaseBoxes();
        EXPECT_EQ(std::exchange(sink_.answers, {}), answers) << "set " << set;
    }
    // The flags choose the default button, which Enter presses.
    for (const auto& [flags, answer] :
         {std::pair{4 + 256, "button 7"}, {3 + 512, "button 2"}, {0 + 256, "button 1"}}) {
        QTest::keyClick(Open(session::kBoxButtons, flags), Qt::Key_Return);
        EXPECT_EQ(std::exchange(sink_.answers, {}), Answers{answer}) << flags;
    }
}

// The flags' icon shows, and a long prompt is shown whole above its field.
TEST_F(BoxDialog, IconOfTheFlagsAndALongPromptWhole) {
    for (const auto& [flags, icon] :
         {std::pair{16, "Image5"}, {32, "Image4"}, {48, "Image2"}, {64, "Image3"}}) {
        EXPECT_TRUE(Get<QLabel>(Open(session::kBoxButtons, flags), icon)->isVisible()) << icon;
    }
    stack_.OpenBox(session::kBoxInput, u"Sisestage kaardi number ja vajutage OK. "_s.repeated(8),
                   1);
    const QLabel* prompt = Get<QLabel>(stack_.Top(), "Label2");
    EXPECT_GE(prompt->height(), prompt->heightForWidth(prompt->width()));
    EXPECT_GT(Get<QLineEdit>(stack_.Top(), "Text1")->y(), prompt->geometry().bottom());
}

TEST_F(BoxDialog, InputBoxesAnswerTheTextASwipeWholeAndTypingAsTyped) {
    Form2* box = Open(session::kBoxSecretInput, 1);
    // A coarse timer may tick 5 % early and take a key by hand for a swipe's.
    EXPECT_EQ(Get<QTimer>(box, "Timer1")->timerType(), Qt::PreciseTimer);
    TypeStamped(box, u"9"_s, now_, 0);  // by hand, before the swipe
    now_ += 100;
    ASSERT_TRUE(WaitForCaptureTick(box));
    const QString track = u";4761739001010010=2512?"_s;
    const quint64 firstStamp = now_ + 1000;
    now_ = firstStamp + track.size() + 55;  // the tick, 55 ms after the last key
    TypeStamped(box, track, firstStamp, 1);
    ASSERT_TRUE(WaitForCaptureTick(box));
    QTest::mouseClick(Button(box, 1), Qt::LeftButton);

    // Keys 100 ms apart that a busy event loop delivers together are typing.
    box = Open(session::kBoxSecretInput, 1);
    const quint64 typed = now_;
    now_ += 355;
    TypeStamped(box, u"1234"_s, typed, 100);
    QTest::keyClick(box->focusWidget(), Qt::Key_Backspace);
    ASSERT_TRUE(WaitForCaptureTick(box));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(sink_.answers, (Answers{"input 1 " + track.toStdString(), "input 1 123"}));
}

TEST_F(BoxDialog, OnlyTheTopBoxTakesInputAnyBoxCanBeClosedAndMessagesSendNothing) {
    Open(session::kBoxButtons, 4);
    const QPointer<Form2> lower = Open(session::kBoxSecretInput, 1);
    // A message box has one OK whatever the flags, so Esc leaves it open.
    const QPointer<Form2> upper = Open(session::kBoxMessage, 3 + 48);
    EXPECT_FALSE(Button(upper, 2)->isVisible());
    QTest::keyClick(upper, Qt::Key_Escape);
    EXPECT_FALSE(lower->isEnabled());
    EXPECT_FALSE(mainWindow_.isEnabled());
    // The window manager's close, delivered as the window system delivers it.
    QCloseEvent closeControl;
    QSpontaneKeyEvent::setSpontaneous(&closeControl);
    QApplication::instance()->notify(lower, &closeControl);
    EXPECT_FALSE(closeControl.isAccepted());

    QTest::mouseClick(Button(upper, 1), Qt::LeftButton);
    EXPECT_TRUE(lower->isEnabled());
    // Closed from below the top, a box answers as its second button.
    stack_.CloseBox(1);
    EXPECT_EQ(stack_.Top(), lower);
    QTest::keyClicks(Get<QLineEdit>(lower, "Text1"), u"12"_s);
    QTest::mouseClick(Button(lower, 1), Qt::LeftButton);
    Button(lower, 1)->click();  // no event loop ran: the closed box still exists
    EXPECT_EQ(sink_.answers, (Answers{"button 7", "input 1 12"}));
    EXPECT_TRUE(mainWindow_.isEnabled());

    // Released, the boxes close without answers.
    Open(session::kBoxMessage, 0);
    Open(session::kBoxSecretInput, 1);
    stack_.ReleaseBoxes();
    EXPECT_EQ(stack_.Top(), nullptr);
    EXPECT_EQ(sink_.answers.size(), 2u);
    EXPECT_TRUE(mainWindow_.isEnabled());
}

}  // namespace
}  // namespace mereval::ui
