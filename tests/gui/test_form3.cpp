#include "platform/desktop_document_opener.h"
#include "ui/form3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace mereval::ui {
namespace {

using namespace Qt::Literals::StringLiterals;

class Form3Test : public ::testing::Test {
protected:
    Form3Test() : spy_(&form_, &Form3::reportRequested) {}

    template <typename Control>
    Control* Get(const char* name) {
        auto* control = form_.findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    void ShowAndWait() {
        form_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }

    // The arguments of the last reportRequested.
    std::tuple<QDate, QDate, qint16, quint8> LastRequest() {
        const QList<QVariant> args = spy_.takeLast();
        return {args[0].toDate(), args[1].toDate(), args[2].value<qint16>(),
                args[3].value<quint8>()};
    }

    Form3 form_;
    QSignalSpy spy_;
};

TEST_F(Form3Test, OpensWithTodayNoGroupingAndTheSwitchOn) {
    ShowAndWait();
    EXPECT_EQ(form_.windowTitle(), u"Aruanne"_s);
    EXPECT_FALSE(form_.isModal());
    EXPECT_EQ(Get<QLabel>("Label1")->text(), u"Algus:"_s);
    EXPECT_EQ(Get<QLabel>("Label2")->text(), u"Lõpp:"_s);
    EXPECT_EQ(Get<QLabel>("Label3")->text(), u"Grupeering:"_s);
    EXPECT_EQ(Get<QCheckBox>("Check1")->text(), u"Näita ainult õnnestunud tehinguid"_s);
    EXPECT_EQ(Get<QPushButton>("Command1")->text(), u"OK"_s);
    EXPECT_TRUE(Get<QPushButton>("Command1")->isDefault());
    EXPECT_EQ(Get<QPushButton>("Command2")->text(), u"Loobu"_s);
    QComboBox* combo = Get<QComboBox>("Combo1");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items.append(combo->itemText(i));
    }
    EXPECT_EQ(items, (QStringList{u"Puudub"_s, u"Terminal"_s, u"Kuupäev"_s, u"Kaart"_s,
                                  u"Vastuse kood"_s, u"Staatus"_s}));

    // OK at once asks for today, no grouping, only successful ones.
    const QDate today = QDate::currentDate();
    QTest::mouseClick(Get<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_FALSE(form_.isVisible());
    ASSERT_EQ(spy_.count(), 1);
    EXPECT_EQ(LastRequest(), std::make_tuple(today, today, qint16(0), quint8(1)));
}

TEST_F(Form3Test, OkPassesTheChoicesUncheckedAndEnterIsOk) {
    ShowAndWait();
    Get<QDateEdit>("DTPicker1")->setDate(QDate(2009, 3, 31));
    Get<QDateEdit>("DTPicker2")->setDate(QDate(2009, 3, 1));  // before the start: sent as it is
    Get<QComboBox>("Combo1")->setCurrentIndex(5);
    Get<QCheckBox>("Check1")->setChecked(false);
    QTest::keyClick(Get<QComboBox>("Combo1"), Qt::Key_Return);
    EXPECT_FALSE(form_.isVisible());
    ASSERT_EQ(spy_.count(), 1);
    EXPECT_EQ(LastRequest(),
              std::make_tuple(QDate(2009, 3, 31), QDate(2009, 3, 1), qint16(5), quint8(0)));

    ShowAndWait();
    Get<QComboBox>("Combo1")->setCurrentIndex(-1);
    QTest::mouseClick(Get<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_EQ(spy_.count(), 1);
    EXPECT_EQ(std::get<2>(LastRequest()), qint16(-1));
}

TEST_F(Form3Test, LoobuAndEscKeepTheChoicesTheCloseBoxForgetsThem) {
    ShowAndWait();
    Get<QDateEdit>("DTPicker1")->setDate(QDate(2009, 1, 5));
    Get<QComboBox>("Combo1")->setCurrentIndex(3);
    Get<QCheckBox>("Check1")->setChecked(false);
    QTest::mouseClick(Get<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_FALSE(form_.isVisible());

    ShowAndWait();
    EXPECT_EQ(Get<QDateEdit>("DTPicker1")->date(), QDate(2009, 1, 5));
    EXPECT_EQ(Get<QComboBox>("Combo1")->currentIndex(), 3);
    EXPECT_FALSE(Get<QCheckBox>("Check1")->isChecked());

    QTest::keyClick(&form_, Qt::Key_Escape);
    EXPECT_FALSE(form_.isVisible());
    ShowAndWait();
    EXPECT_EQ(Get<QComboBox>("Combo1")->currentIndex(), 3);
    EXPECT_TRUE(form_.IsLoaded());

    // The close box.
    EXPECT_TRUE(form_.close());
    EXPECT_FALSE(form_.isVisible());
    EXPECT_FALSE(form_.IsLoaded());
    ShowAndWait();
    EXPECT_EQ(Get<QDateEdit>("DTPicker1")->date(), QDate::currentDate());
    EXPECT_EQ(Get<QDateEdit>("DTPicker2")->date(), QDate::currentDate());
    EXPECT_EQ(Get<QComboBox>("Combo1")->currentIndex(), 0);
    EXPECT_TRUE(Get<QCheckBox>("Check1")->isChecked());
    EXPECT_EQ(spy_.count(), 0);
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
    const auto notedLines = [&] {
        QFile log(noted);
        return log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : 0;
    };

    launcher(0);
    EXPECT_TRUE(opener.OpenDocument(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return notedLines() == 1; }));
    launcher(3);
    EXPECT_TRUE(opener.OpenDocument(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return failures > 0; }));
    EXPECT_EQ(failures, 1);
    QFile log(noted);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(log.readAll()), file + u'\n' + file + u'\n');

    // No launcher at all: refused at once.
    qputenv("PATH", bin.filePath(u"nothing"_s).toUtf8());
    EXPECT_FALSE(opener.OpenDocument(file));
    qputenv("PATH", path);
}

}  // namespace
}  // namespace mereval::ui
