#pragma once

#include "session/payment_session.h"
#include "support/temp_environment.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/key_clock.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace mereval::test {

// Drives the real main window as a cashier does. Key stamps are chosen by
// the test and lie in the past of the window's clock, so the gaps the burst
// detection sees are exact however busy the machine is.
class MainWindowDriver {
public:
    MainWindowDriver() : nextStamp_(ui::MonotonicMs() - 30'000) {}

    ui::Form1& Open(const TempProgramEnvironment& env, const QByteArray& settings,
                    session::SessionTimeouts timeouts = {}) {
        QFile file(env.SettingsPath());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(settings);
        file.close();
        form_ = std::make_unique<ui::Form1>(timeouts);
        // Receipts have their own tests on a private spooler.
        form_->Settings().fDoPrint = false;
        form_->show();
        ReturnFromBoxes();
        return *form_;
    }
    ui::Form1& Window() const { return *form_; }
    void Close() { form_.reset(); }

    template <typename T>
    T* Find(const char* name) const {
        T* control = form_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QLineEdit* Field(const char* name) const { return Find<QLineEdit>(name); }
    QTabBar* Tabs() const { return Find<QTabBar>("TabStrip1"); }
    // Loobu is usable exactly while an operation runs.
    bool Running() const { return Find<QPushButton>("Command2")->isEnabledTo(form_.get()); }

    void ClickTab(int tab) const {
        QTest::mouseClick(Tabs(), Qt::LeftButton, {}, Tabs()->tabRect(tab - 1).center());
    }
    void PressOk() const { QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton); }
    QWidget* KeyTarget() const {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? focus : form_.get();
    }
    // Each character as a key press, gapMs after the one before.
    void Keys(QWidget* target, const QString& text, quint64 gapMs) {
        for (const QChar character : text) {
            EXPECT_LT(nextStamp_, ui::MonotonicMs()) << "stamps ran into the present";
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
            press.setTimestamp(nextStamp_);
            QApplication::sendEvent(target, &press);
            nextStamp_ += gapMs;
        }
        nextStamp_ += 1000;
    }
    bool WaitBurstEnd() const {
        return QTest::qWaitFor([this] { return !Find<QTimer>("Timer3")->isActive(); });
    }
    void Type(const char* name, const QString& text, quint64 gapMs) {
        Field(name)->setFocus();
        // The field selects its text on a queued call when it gets the focus.
        QCoreApplication::processEvents();
        Keys(Field(name), text, gapMs);
        EXPECT_TRUE(WaitBurstEnd());
    }

    ui::Form2* TopBox() const { return form_->Boxes().Top(); }
    QString BoxText(const char* label = "Label1") const {
        return TopBox() ? TopBox()->findChild<QLabel*>(QString::fromLatin1(label))->text()
                        : QString();
    }
    QStringList BoxButtons() const {
        QStringList captions;
        for (const char* name : {"Command1", "Command2", "Command3"}) {
            auto* button = TopBox()->findChild<QPushButton*>(QString::fromLatin1(name));
            if (button->isVisible()) {
                captions.append(button->text());
            }
        }
        return captions;
    }
    void ClickBoxButton(const QString& caption) const {
        for (auto* button :
             TopBox() ? TopBox()->findChildren<QPushButton*>() : QList<QPushButton*>()) {
            if (button->isVisible() && button->text() == caption) {
                QTest::mouseClick(button, Qt::LeftButton);
                ReturnFromBoxes();
                return;
            }
        }
        ADD_FAILURE() << "no box button " << caption.toStdString();
    }
    // Without a window manager nothing activates the main window.
    void ReturnFromBoxes() const {
        if (TopBox() == nullptr && form_->isEnabled()) {
            form_->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
            QCoreApplication::processEvents();
        }
    }

    QStringList EntryTexts() const {
        QStringList texts;
        for (const char* name : kEntryFields) {
            texts.append(Field(name)->text());
        }
        return texts;
    }
    static constexpr const char* kEntryFields[] = {"Text1", "Text2", "Text3", "Text4",
                                                   "Text7", "Text8", "Text9"};

private:
    quint64 nextStamp_;
    std::unique_ptr<ui::Form1> form_;
};

}  // namespace mereval::test
