#include "support/qt_print_to.h"
#include "ui/settings_dialog.h"

#include "common/program_settings.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include <functional>
#include <initializer_list>
#include <ostream>

namespace mereval::common {

// Found by the comparisons of gtest through the type's namespace.
inline bool operator==(const ProgramSettings& a, const ProgramSettings& b) {
    return a.fDoPrint == b.fDoPrint && a.fPOSID == b.fPOSID && a.fAddress == b.fAddress &&
           a.fPort == b.fPort && a.fPrinter == b.fPrinter && a.fRAW == b.fRAW &&
           a.fReportMode == b.fReportMode && a.session == b.session;
}

inline void PrintTo(const ProgramSettings& s, std::ostream* out) {
    *out << "{DoPrint " << s.fDoPrint << ", POS " << s.fPOSID.toStdString() << ", address "
         << s.fAddress.toStdString() << ", port " << s.fPort << ", printer "
         << s.fPrinter.toStdString() << ", RAW " << s.fRAW << ", report " << s.fReportMode << "}";
}

}  // namespace mereval::common

namespace mereval::ui {
namespace {

using common::ProgramSettings;

const QStringList kPrinters = {QStringLiteral("Kassa-Epson"), QStringLiteral("Kontor-HP")};

QStringList Texts(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) {
        list.append(QString::fromUtf8(text));
    }
    return list;
}

ProgramSettings OldSettings() {
    ProgramSettings settings;
    settings.fDoPrint = true;
    settings.fPOSID = QStringLiteral("00000001");
    settings.fAddress = QStringLiteral("127.0.0.1");
    settings.fPort = 8145;
    settings.fPrinter = QStringLiteral("Vana printer");  // not installed
    settings.fRAW = false;
    settings.fReportMode = true;
    return settings;
}

// The dialog over a plain window standing in for the main window.
class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        mainWindow_.resize(400, 200);
        mainWindow_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow_));
        dialog_ = new SettingsDialog(
            settings_, [] { return kPrinters; }, [this] { ++applyCalls_; }, &mainWindow_);
    }

    void Open() {
        dialog_->ShowData();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Printer()->count() == kPrinters.size(); }));
    }

    template <typename T>
    T* Control(const char* name) const {
        T* control = dialog_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QLineEdit* Field(const char* name) const { return Control<QLineEdit>(name); }
    QCheckBox* Check(const char* name) const { return Control<QCheckBox>(name); }
    QComboBox* Printer() const { return Control<QComboBox>("Combo1"); }
    void Click(const char* button) const {
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    }

    static void Retype(QLineEdit* field, const QString& text) {
        field->clear();
        QTest::keyClicks(field, text);
    }
    QStringList Shown() const {
        return {Field("Text1")->text(),
                Field("Text2")->text(),
                Field("Text3")->text(),
                Printer()->currentText(),
                QString::number(Check("Check1")->isChecked()),
                QString::number(Check("Check2")->isChecked()),
                QString::number(Check("Check3")->isChecked())};
    }
    void EditEverything() const {
        Retype(Field("Text1"), QStringLiteral("77"));
        Retype(Field("Text2"), QStringLiteral("10.0.0.9"));
        Retype(Field("Text3"), QStringLiteral("9100"));
        Printer()->setCurrentIndex(1);
        Check("Check2")->click();
        Check("Check1")->click();
        Check("Check3")->click();
    }

    test::TempProgramEnvironment env_;
    ProgramSettings settings_ = OldSettings();
    int applyCalls_ = 0;
    QWidget mainWindow_;
    SettingsDialog* dialog_ = nullptr;  // owned by mainWindow_
};

TEST_F(SettingsDialogTest, ShowsTheSettingsWithTheMainWindowDisabled) {
    Open();
    EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Seaded"));
    EXPECT_EQ(Shown(), Texts({"00000001", "127.0.0.1", "8145", "Vana printer", "1", "0", "1"}));
    QStringList listed;
    for (int i = 0; i < Printer()->count(); ++i) {
        listed.append(Printer()->itemText(i));
    }
    EXPECT_EQ(listed, kPrinters);

    // Disabling the main window must not take its child window down too.
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_TRUE(dialog_->isEnabled());
    EXPECT_TRUE(Field("Text1")->isEnabled());

    // The main window's timer brings it back in front.
    mainWindow_.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return mainWindow_.isActiveWindow(); }));
    dialog_->BringToFront();
    EXPECT_TRUE(QTest::qWaitFor([this] { return dialog_->isActiveWindow(); }));

    // Another program takes the keyboard (played by a window that takes it
    // and goes): the dialog leaves it there.
    std::make_unique<QWidget>()->show();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeWindow() == nullptr; }));
    dialog_->BringToFront();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
}

TEST_F(SettingsDialogTest, TextFieldsLimitTypingSelectOnFocusAndKeepLongerStoredValues) {
    settings_.fAddress = QStringLiteral("kassaserver.example");  // 19 characters
    Open();
    QLineEdit* pos = Field("Text1");
    Retype(pos, QStringLiteral("1234567890"));
    EXPECT_EQ(pos->text(), QStringLiteral("12345678"));
    Retype(Field("Text3"), QStringLiteral("8145678"));
    EXPECT_EQ(Field("Text3")->text(), QStringLiteral("81456"));

    pos->deselect();
    QTest::mouseClick(Field("Text2"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Field("Text2")->hasSelectedText(); }));
    EXPECT_EQ(Field("Text2")->selectedText(), QStringLiteral("kassaserver.example"));

    Click("Command1");
    EXPECT_EQ(settings_.fAddress, QStringLiteral("kassaserver.example"));
}

TEST_F(SettingsDialogTest, PrinterControlsFollowKviitung) {
    settings_.fDoPrint = false;
    Open();
    auto* frame = Control<QGroupBox>("Frame2");
    EXPECT_EQ(frame->title(), QString(21, u' '));
    EXPECT_EQ(Control<QGroupBox>("Frame1")->title(), QStringLiteral(" KK seaded "));
    // The check box lies on the frame's top edge as its caption.
    QCheckBox* kviitung = Check("Check1");
    EXPECT_EQ(kviitung->text(), QStringLiteral("Kviitung"));
    EXPECT_TRUE(kviitung->geometry().contains(kviitung->geometry().left(), frame->y()));

    const auto enabledStates = [&] {
        return QList<bool>{frame->isEnabled(), Control<QLabel>("Label4")->isEnabled(),
                           Printer()->isEnabled(), Check("Check2")->isEnabled(),
                           kviitung->isEnabled()};
    };
    EXPECT_EQ(enabledStates(), (QList<bool>{false, false, false, false, true}));
    // The RAW box keeps the state that opening gave it.
    kviitung->click();
    EXPECT_EQ(enabledStates(), (QList<bool>{true, true, true, false, true}));
    kviitung->click();
    EXPECT_EQ(enabledStates(), (QList<bool>{false, false, false, false, true}));

    // Opened with receipts on, it goes and comes back with its frame.
    dialog_->reject();
    settings_.fDoPrint = true;
    Open();
    EXPECT_EQ(enabledStates(), (QList<bool>{true, true, true, true, true}));
    kviitung->click();
    EXPECT_EQ(enabledStates(), (QList<bool>{false, false, false, false, true}));
    kviitung->click();
    EXPECT_EQ(enabledStates(), (QList<bool>{true, true, true, true, true}));
}

TEST_F(SettingsDialogTest, ConfirmStoresTheSevenKeysInOrderForTheNextStart) {
    Open();
    Retype(Field("Text1"), QStringLiteral("12345678"));
    Retype(Field("Text2"), QStringLiteral("192.168.1.20"));
    Retype(Field("Text3"), QStringLiteral("9100"));
    Retype(Printer()->lineEdit(), QStringLiteral("Puuduv printer"));
    Check("Check2")->click();                    // RAW on while the frame is usable
    Check("Check1")->click();                    // receipts off
    Check("Check3")->click();                    // report-only off
    QTest::keyClick(Printer(), Qt::Key_Return);  // Enter confirms

    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_EQ(applyCalls_, 1);
    ProgramSettings expected = OldSettings();
    expected.fPOSID = QStringLiteral("12345678");
    expected.fAddress = QStringLiteral("192.168.1.20");
    expected.fPort = 9100;
    expected.fPrinter = QStringLiteral("Puuduv printer");
    expected.fRAW = true;
    expected.fDoPrint = false;
    expected.fReportMode = false;
    EXPECT_EQ(settings_, expected);
    // The file had no line yet, so its lines are in the order of storing.
    EXPECT_EQ(env_.ReadFile(QStringLiteral("Tellur.conf")),
              QByteArray("POS=12345678\nDoPrint=0\nPrinter=Puuduv printer\n"
                         "KKAddress=192.168.1.20\nKKPort=9100\nRAW=1\nReportMode=0\n"));

    // The next start reads them back; receipt printing is on again.
    expected.fDoPrint = true;
    EXPECT_EQ(common::LoadProgramSettings(), expected);
}

struct PortCase {
    const char* typed;
    qint32 port;
};

void PrintTo(const PortCase& c, std::ostream* out) {
    *out << '"' << c.typed << "\" gives " << c.port;
}

class SettingsDialogPort : public SettingsDialogTest,
                           public ::testing::WithParamInterface<PortCase> {};

TEST_P(SettingsDialogPort, IsTakenOnlyWhenItIsANumber) {
    Open();
    Retype(Field("Text3"), QString::fromLatin1(GetParam().typed));
    Click("Command1");
    EXPECT_EQ(settings_.fPort, GetParam().port);
    EXPECT_TRUE(env_.ReadFile(QStringLiteral("Tellur.conf"))
                    .contains("\nKKPort=" + QByteArray::number(GetParam().port) + "\n"));
    EXPECT_FALSE(dialog_->isVisible());
}

INSTANTIATE_TEST_SUITE_P(, SettingsDialogPort,
                         ::testing::Values(PortCase{"81a5", 8145}, PortCase{"", 8145},
                                           PortCase{"443.6", 444}));

struct LeaveCase {
    const char* name;
    std::function<void(SettingsDialog*)> leave;
};

class SettingsDialogLeave : public SettingsDialogTest,
                            public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(SettingsDialogLeave, WithoutConfirmChangesNothing) {
    const QByteArray stored = "KKPort=8145\nPOS=00000001\n";
    QFile file(env_.SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(stored);
    file.close();

    Open();
    const QStringList before = Shown();
    EditEverything();
    ASSERT_NE(Shown(), before);
    GetParam().leave(dialog_);

    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_EQ(settings_, OldSettings());
    EXPECT_EQ(env_.ReadFile(QStringLiteral("Tellur.conf")), stored);
    EXPECT_EQ(applyCalls_, 0);
    Open();
    EXPECT_EQ(Shown(), before);
}

INSTANTIATE_TEST_SUITE_P(
    , SettingsDialogLeave,
    ::testing::Values(LeaveCase{"Loobu",
                                [](SettingsDialog* d) {
                                    QTest::mouseClick(
                                        d->findChild<QPushButton*>(QStringLiteral("Command2")),
                                        Qt::LeftButton);
                                }},
                      LeaveCase{"Esc",
                                [](SettingsDialog* d) {
                                    QTest::keyClick(
                                        d->findChild<QLineEdit*>(QStringLiteral("Text2")),
                                        Qt::Key_Escape);
                                }},
                      LeaveCase{"CloseBox", [](SettingsDialog* d) { d->close(); }}),
    [](const ::testing::TestParamInfo<LeaveCase>& info) { return std::string(info.param.name); });

// The real main window: switching report-only mode off offers the
// operations at once.
TEST(SettingsDialogOnMainWindow, ReportModeOffTakesEffectAtOnce) {
    test::TempProgramEnvironment env;
    test::MainWindowDriver ui;
    Form1& form = ui.Open(env, "ReportMode=1\n");
    auto* dialog = new SettingsDialog(
        form.Settings(), [] { return QStringList(); }, [&form] { form.ApplyProgramMode(); }, &form);
    dialog->ShowData();
    EXPECT_FALSE(form.isEnabled());
    dialog->findChild<QCheckBox*>(QStringLiteral("Check3"))->click();
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    EXPECT_TRUE(form.isEnabled());
    EXPECT_FALSE(form.Settings().fReportMode);
    EXPECT_TRUE(ui.Tabs()->isVisible());
    EXPECT_FALSE(ui.Find<QLabel>("Label5")->isVisible());
    EXPECT_TRUE(ui.Button("Command1")->isVisible());
}

// A spooler that hangs must not freeze the window: the dialog opens at once
// with the stored printer, and the list fills in when it comes.
TEST_F(SettingsDialogTest, OpensBeforeTheSpoolerHasListedItsPrinters) {
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    SettingsDialog dialog(
        settings_,
        [answered] {
            answered.wait();
            return kPrinters;
        },
        [] {}, &mainWindow_);
    // Only a dialog that waited for the list would see this go off.
    std::thread spooler([&answer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        answer.set_value();
    });
    dialog.ShowData();
    auto* printer = dialog.findChild<QComboBox*>(QStringLiteral("Combo1"));
    EXPECT_EQ(printer->count(), 0);
    EXPECT_EQ(printer->currentText(), settings_.fPrinter);
    printer->setEditText(QStringLiteral("Kontor"));  // typed meanwhile
    spooler.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return printer->count() == kPrinters.size(); }));
    EXPECT_EQ(printer->currentText(), QStringLiteral("Kontor"));
    dialog.reject();
}

}  // namespace
}  // namespace mereval::ui
