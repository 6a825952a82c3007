#include "platform/desktop_document_opener.h"
#include "support/temp_environment.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace mereval::ui {
namespace {

using namespace Qt::StringLiterals;

template <typename T = QWidget>
T* Get(QWidget* dialog, const char* name) {
    T* control = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

void Click(QWidget* dialog, const char* button) {
    QTest::mouseClick(Get<QPushButton>(dialog, button), Qt::LeftButton);
}

const QStringList kPrinters = {u"Kassa-Epson"_s, u"Kontor-HP"_s};

// The dialogs over a plain window standing in for the main window.
class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        mainWindow_.setGeometry(100, 100, 600, 300);
        mainWindow_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow_));
        settings_.fDoPrint = true;
        settings_.fPOSID = u"00000001"_s;
        settings_.fAddress = u"127.0.0.1"_s;
        settings_.fPort = 8145;
        settings_.fPrinter = u"Vana printer"_s;  // not installed
        settings_.fReportMode = true;
        dialog_ = new SettingsDialog(
            settings_, [] { return kPrinters; }, [this] { ++applyCalls_; }, &mainWindow_);
    }

    void Open() {
        dialog_->ShowData();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Printer()->count() == kPrinters.size(); }));
    }
    QLineEdit* Field(const char* name) const { return Get<QLineEdit>(dialog_, name); }
    QCheckBox* Check(const char* name) const { return Get<QCheckBox>(dialog_, name); }
    QComboBox* Printer() const { return Get<QComboBox>(dialog_, "Combo1"); }
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

    test::TempProgramEnvironment env_;
    common::ProgramSettings settings_;
    int applyCalls_ = 0;
    QWidget mainWindow_;
    SettingsDialog* dialog_ = nullptr;  // owned by mainWindow_
};

TEST_F(Dialogs, SettingsConfirmStoresTheSevenKeysInOrder) {
    Open();
    EXPECT_EQ(Shown(), (QStringList{u"00000001"_s, u"127.0.0.1"_s, u"8145"_s, u"Vana printer"_s,
                                    u"1"_s, u"0"_s, u"1"_s}));
    EXPECT_FALSE(mainWindow_.isEnabled());
    Retype(Field("Text1"), u"12345678"_s);
    Retype(Field("Text2"), u"192.168.1.20"_s);
    Retype(Field("Text3"), u"9100"_s);
    Retype(Printer()->lineEdit(), u"Puuduv printer"_s);
    Check("Check2")->click();                    // RAW on while the frame is usable
    Check("Check1")->click();                    // receipts off
    Check("Check3")->click();                    // report-only off
    QTest::keyClick(Printer(), Qt::Key_Return);  // Enter confirms
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_EQ(applyCalls_, 1);
    EXPECT_FALSE(settings_.fReportMode);
    EXPECT_EQ(settings_.fPort, 9100);
    // The file had no line yet, so its lines are in the order of storing.
    EXPECT_EQ(env_.ReadFile(u"Tellur.conf"_s),
              QByteArray("POS=12345678\nDoPrint=0\nPrinter=Puuduv printer\n"
                         "KKAddress=192.168.1.20\nKKPort=9100\nRAW=1\nReportMode=0\n"));

    // A port is taken only when it is a number.
    for (const auto& [typed, port] : {std::pair{"81a5", 9100}, {"", 9100}, {"443.6", 444}}) {
        Open();
        Retype(Field("Text3"), QString::fromLatin1(typed));
        Click(dialog_, "Command1");
        EXPECT_EQ(settings_.fPort, port) << typed;
        EXPECT_TRUE(env_.ReadFile(u"Tellur.conf"_s)
                        .contains("\nKKPort=" + QByteArray::number(port) + "\n"));
    }
}

TEST_F(Dialogs, SettingsLeftWithoutConfirmChangeNothing) {
    const std::function<void()> leaves[] = {
        [this] { Click(dialog_, "Command2"); },
        [this] { QTest::keyClick(Field("Text2"), Qt::Key_Escape); }, [this] { dialog_->close(); }};
    for (const auto& leave : leaves) {
        Open();
        const QStringList before = Shown();
        Retype(Field("Text3"), u"9100"_s);
        Printer()->setCurrentIndex(1);
        Check("Check3")->click();
        leave();
        EXPECT_FALSE(dialog_->isVisible());
        EXPECT_TRUE(mainWindow_.isEnabled());
        EXPECT_EQ(settings_.fPort, 8145);
        EXPECT_TRUE(settings_.fReportMode);
        EXPECT_FALSE(QFile::exists(env_.SettingsPath()));
        EXPECT_EQ(applyCalls_, 0);
        Open();
        EXPECT_EQ(Shown(), before);
        dialog_->reject();
    }
}

// A spooler that hangs must not freeze the window: the dialog opens at once
// with the stored printer, and the list fills in when it comes.
TEST_F(Dialogs, SettingsOpenBeforeTheSpoolerHasListedItsPrinters) {
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
    auto* printer = Get<QComboBox>(&dialog, "Combo1");
    EXPECT_EQ(printer->count(), 0);
    EXPECT_EQ(printer->currentText(), settings_.fPrinter);
    printer->setEditText(u"Kontor"_s);  // typed meanwhile
    spooler.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return printer->count() == kPrinters.size(); }));
    EXPECT_EQ(printer->currentText(), u"Kontor"_s);
    dialog.reject();
}

TEST_F(Dialogs, ReportAsksForTheChoicesOnlyByOkAndTheCloseBoxForgetsThem) {
    Form3 form;
    QSignalSpy requests(&form, &Form3::reportRequested);
    const auto lastRequest = [&]() -> std::tuple<QDate, QDate, qint16, quint8> {
        if (requests.isEmpty()) {
            return {};
        }
        const QList<QVariant> args = requests.takeLast();
        return {args[0].toDate(), args[1].toDate(), args[2].value<qint16>(),
                args[3].value<quint8>()};
    };
    const auto show = [&form] {
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    };
    show();
    Get<QDateEdit>(&form, "DTPicker1")->setDate(QDate(2009, 3, 31));
    Get<QDateEdit>(&form, "DTPicker2")->setDate(QDate(2009, 3, 1));  // sent as it is
    Get<QComboBox>(&form, "Combo1")->setCurrentIndex(5);
    Get<QCheckBox>(&form, "Check1")->setChecked(false);
    QTest::keyClick(Get<QComboBox>(&form, "Combo1"), Qt::Key_Return);  // Enter is OK
    EXPECT_FALSE(form.isVisible());
    const auto chosen = std::tuple(QDate(2009, 3, 31), QDate(2009, 3, 1), qint16(5), quint8(0));
    EXPECT_EQ(lastRequest(), chosen);
    show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(requests.isEmpty());
    show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.IsLoaded());
    show();
    Click(&form, "Command1");  // today, no grouping, only successful ones
    const QDate today = QDate::currentDate();
    EXPECT_EQ(lastRequest(), std::tuple(today, today, qint16(0), quint8(1)));
    EXPECT_TRUE(requests.isEmpty());
}

TEST_F(Dialogs, SpecialCommandIsSentOnlyByOk) {
    std::vector<quint8> sent;
    auto* form = new Form4([&sent](quint8 command) { sent.push_back(command); }, &mainWindow_);
    form->show();
    auto* combo = Get<QComboBox>(form, "Combo1");
    QTest::keyClick(combo, Qt::Key_Return);  // the default button, the first command
    EXPECT_FALSE(form->isVisible());
    form->show();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    Click(form, "Command2");
    form->show();
    QTest::keyClick(combo, Qt::Key_Escape);
    form->show();
    form->close();
    EXPECT_FALSE(form->isVisible());
    form->show();
    Click(form, "Command1");
    EXPECT_EQ(sent, (std::vector<quint8>{0, 2}));
}

// The desktop's launcher, replaced on PATH by one that notes the file and
// ends with the status asked for: 3 is "no program takes this type".
TEST(DesktopDocumentOpenerTest, TellsLaterWhenNoViewerTakesTheFile) {
    QTemporaryDir bin;
    const QString noted = bin.filePath(u"noted"_s);
    const auto launcher = [&](int status) {
        QFile script(bin.filePath(u"xdg-open"_s));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$1\" >> '" + noted.toUtf8() + "'\nexit " +
                     QByteArray::number(status) + "\n");
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + path);
    int failures = 0;
    platform::DesktopDocumentOpener opener([&] { ++failures; });
    const QString file = u"/tmp/Mereval kaust/Report õ.pdf"_s;
    const auto notedText = [&] {
        QFile log(noted);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    };

    launcher(0);
    EXPECT_TRUE(opener.OpenDocument(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return notedText() == file + u'\n'; }));
    launcher(3);
    EXPECT_TRUE(opener.OpenDocument(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures > 0; }));
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(notedText(), file + u'\n' + file + u'\n');
    // No launcher at all: refused at once.
    qputenv("PATH", bin.filePath(u"nothing"_s).toUtf8());
    EXPECT_FALSE(opener.OpenDocument(file));
    qputenv("PATH", path);
}

}  // namespace
}  // namespace mereval::ui
