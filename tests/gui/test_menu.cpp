#include "paysim/paysim_server.h"
#include "session/message_catalogue.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/settings_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace mereval::ui {
namespace {

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

class Menu : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Listen()); }

    Form1& Open(bool reportMode) {
        return driver_.Open(env_,
                            "KKPort=" + QByteArray::number(server_.Port()) +
                                "\nPOS=00000007\nReportMode=" + (reportMode ? "1" : "0") + "\n",
                            {2000, 4000, 2000});
    }
    QAction* Item(const char* name) const { return driver_.Find<QAction>(name); }

    test::TempProgramEnvironment env_;
    test::MainWindowDriver driver_;
    paysim::PaySimServer server_;
};

TEST_F(Menu, ItemsCaptionsAndShortcuts) {
    Open(false);
    auto* menu = driver_.Find<QMenu>("Menu");
    EXPECT_EQ(menu->title(), QStringLiteral(u"&Menüü"));
    const std::tuple<const char*, const char16_t*, const char*> items[] = {
        {"Report", u"&Aruanne...", "Ctrl+R"},
        {"PosCommand", u"Eri&toimingud...", "Ctrl+T"},
        {"Reprint", u"Kviitungi &kordustrükk", "Ctrl+P"},
        {"SettingsM", u"&Seaded...", "Ctrl+S"},
        {"Quit", u"&Lõpeta", "Ctrl+Q"},
    };
    for (qsizetype i = 0; i < qsizetype(std::size(items)); ++i) {
        const auto& [name, caption, keys] = items[i];
        EXPECT_EQ(menu->actions().value(i), Item(name)) << name;  // in this order
        EXPECT_EQ(Item(name)->text(), QString::fromUtf16(caption)) << name;
        EXPECT_EQ(Item(name)->shortcut(), QKeySequence(QString::fromLatin1(keys))) << name;
        EXPECT_TRUE(Item(name)->isEnabled()) << name;
    }
}

TEST_F(Menu, SpecialCommandRunsAsAnOperationAndEndsWithItsStatus) {
    Form1& window = Open(false);
    // The report dialog stays open meanwhile, its OK unusable.
    Item("Report")->trigger();
    auto* reportOk =
        window.findChild<Form3*>()->findChild<QPushButton*>(QStringLiteral("Command1"));
    Item("PosCommand")->trigger();
    auto* form4 = window.findChild<Form4*>();
    ASSERT_NE(form4, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([form4] { return form4->isVisible(); }));
    QTest::mouseClick(form4->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_FALSE(form4->isVisible());

    // Running: everything that starts something locked, the end still possible.
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver_.Running(); }));
    for (const char* name : {"Report", "PosCommand", "Reprint", "SettingsM"}) {
        EXPECT_FALSE(Item(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(reportOk->isEnabled());
    auto* commandOk = form4->findChild<QPushButton*>(QStringLiteral("Command1"));
    EXPECT_FALSE(commandOk->isEnabled());
    EXPECT_TRUE(Item("Quit")->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !driver_.Running(); }, 5000));
    ASSERT_GE(server_.Received().size(), 2);
    EXPECT_EQ(server_.Received().first().Code(), QByteArray(code::PosCommandRequest));
    EXPECT_EQ(server_.Received().first().Field(field::PosCommand), QByteArray(1, '\0'));
    EXPECT_EQ(driver_.Field("Text10")->text(), QStringLiteral(u"Toiming täitmiseks võetud."));
    for (const char* name : {"Report", "PosCommand", "Reprint", "SettingsM"}) {
        EXPECT_TRUE(Item(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(reportOk->isEnabled());
    EXPECT_TRUE(commandOk->isEnabled());
}

TEST_F(Menu, SettingsDisableTheWindowUntilTheyClose) {
    Form1& window = Open(false);
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    auto* settings = window.findChild<SettingsDialog*>();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([settings] { return settings->isVisible(); }));
    EXPECT_FALSE(window.isEnabled());
    QTest::mouseClick(settings->findChild<QPushButton*>(QStringLiteral("Command2")),
                      Qt::LeftButton);
    EXPECT_FALSE(settings->isVisible());
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(Menu, QuitWithTwoBoxesClosesThemWithoutAnswers) {
    Form1& window = Open(false);
    window.OpenBox(session::kBoxButtons, QStringLiteral("Kas jätkata?"), 4);
    window.OpenBox(session::kBoxInput, QStringLiteral("Sisesta kood"), 1);
    ASSERT_EQ(window.Boxes().Count(), 2);
    Item("Quit")->trigger();
    EXPECT_EQ(window.Boxes().Count(), 0);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(server_.Received().isEmpty());
    EXPECT_TRUE(env_.ReadFile(QStringLiteral("log.txt")).isEmpty());
}

}  // namespace
}  // namespace mereval::ui
