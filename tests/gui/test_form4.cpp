#include "ui/form4.h"

#include "ui/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace mereval::ui {
namespace {

class Form4Test : public ::testing::Test {
protected:
    void SetUp() override {
        owner_.setGeometry(100, 100, 600, 300);
        owner_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner_));
        form_ = new Form4([this](quint8 command) { sent_.push_back(command); }, &owner_);
    }

    void Show() {
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_));
    }
    QComboBox* Combo() const { return form_->findChild<QComboBox*>(QStringLiteral("Combo1")); }
    void Click(const char* name) const {
        QTest::mouseClick(form_->findChild<QPushButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }

    QWidget owner_;
    Form4* form_ = nullptr;  // owned by owner_
    std::vector<quint8> sent_;
};

TEST_F(Form4Test, OkWithoutChangeSendsTheFirstCommand) {
    Show();
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("Eritoimingud"));
    EXPECT_EQ(form_->size(), QSize(Twips(3630), Twips(1740)));
    EXPECT_EQ(form_->geometry().center(), owner_.geometry().center());
    EXPECT_EQ(form_->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
              QStringLiteral("Toiming:"));
    EXPECT_FALSE(Combo()->isEditable());
    const QStringList commands = {QStringLiteral("Terminali tehingute saatmine"),
                                  QStringLiteral("Osakonna tehingute saatmine"),
                                  QStringLiteral(u"Kliendikaartide andmete värskendamine")};
    ASSERT_EQ(Combo()->count(), commands.size());
    for (int i = 0; i < Combo()->count(); ++i) {
        EXPECT_EQ(Combo()->itemText(i), commands[i]);
    }

    QTest::keyClick(Combo(), Qt::Key_Return);  // the default button
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(sent_, std::vector<quint8>{0});
}

TEST_F(Form4Test, LoobuEscAndCloseBoxSendNothingAndKeepTheChoice) {
    Show();
    QTest::keyClick(Combo(), Qt::Key_Down);
    QTest::keyClick(Combo(), Qt::Key_Down);
    ASSERT_EQ(Combo()->currentIndex(), 2);
    Click("Command2");
    EXPECT_FALSE(form_->isVisible());

    Show();
    EXPECT_EQ(Combo()->currentIndex(), 2);
    QTest::keyClick(Combo(), Qt::Key_Escape);
    EXPECT_FALSE(form_->isVisible());
    Show();
    form_->close();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(sent_.empty());

    Show();
    Click("Command1");
    EXPECT_EQ(sent_, std::vector<quint8>{2});
}

}  // namespace
}  // namespace mereval::ui
