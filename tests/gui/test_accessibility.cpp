#include "session/session_view.h"
#include "support/child_process.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"
#include "ui/accessibility.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDBusConnection>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace mereval::ui {
namespace {

using namespace Qt::StringLiterals;

QString Text(QObject* object, QAccessible::Text kind = QAccessible::Name) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
    return node != nullptr ? node->text(kind) : QString();
}

// What a screen reader says a control is: its label, else its name.
QString Label(QWidget* window, const char* name) {
    for (QWidget* control : window->findChildren<QWidget*>(QLatin1String(name))) {
        const auto labels =
            QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label);
        if (control->window() == window) {
            return labels.isEmpty() ? Text(control) : labels.first().first->text(QAccessible::Name);
        }
    }
    return {};
}

// Every control a keyboard user can meet has a name, the editors inside
// lists and date pickers aside.
void ExpectNamed(QWidget* window) {
    EXPECT_TRUE(window->isVisible()) << window->objectName().toStdString();
    for (QWidget* control : window->findChildren<QWidget*>()) {
        QWidget* owner = control->parentWidget();
        if (control->window() == window && control->isVisible() &&
            (control->focusPolicy() & Qt::TabFocus) != 0 && !qobject_cast<QComboBox*>(owner) &&
            !qobject_cast<QAbstractSpinBox*>(owner)) {
            EXPECT_FALSE(Text(control).trimmed().isEmpty())
                << (window->objectName() + u' ' + control->objectName()).toStdString();
        }
    }
}

using Raised = std::tuple<QAccessible::Event, QObject*, QString, QString>;
std::vector<Raised> raised;

// A screen reader's session bus, announcing itself as the accessibility bus;
// Qt looks for it when the first window is made.
class AccessibilityBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Bus")

public:
    AccessibilityBus() {
        test::DieWithParent(daemon_);
        daemon_.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        while (!address_.contains(u'\n') && daemon_.waitForReadyRead(10000)) {
            address_ += QString::fromUtf8(daemon_.readAllStandardOutput());
        }
        address_ = address_.trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.registerObject(u"/org/a11y/bus"_s, this, QDBusConnection::ExportScriptableSlots);
        bus.registerService(u"org.a11y.Bus"_s);
    }
    ~AccessibilityBus() override { test::StopChild(daemon_); }

public Q_SLOTS:
    Q_SCRIPTABLE QString GetAddress() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

TEST(Accessibility, EveryControlIsNamedEveryFieldByItsLabelAndStatusAndBoxesAnnounced) {
    const AccessibilityBus bus;
    test::TempProgramEnvironment env;
    test::MainWindowDriver driver;
    Form1* const form = &driver.Open(env, "ReportMode=0\nPOS=00000001\n");
    const auto openDialog = [&](const char* menuItem, const char* name) {
        driver.Find<QAction>(menuItem)->trigger();
        ExpectNamed(driver.Find<QWidget>(name));
        return driver.Find<QWidget>(name);
    };
    for (int tab = 1; tab <= 5; ++tab) {
        ExpectNamed(form);
        QTest::keyClick(driver.KeyTarget(), Qt::Key_Tab, Qt::ControlModifier);
    }
    QWidget* const report = openDialog("Report", "Form3");
    QWidget* const commands = openDialog("PosCommand", "Form4");
    QWidget* const settings = openDialog("SettingsM", "Settings");
    const struct {
        QWidget* window;
        const char* control;
        QString label;
    } spots[] = {
        {form, "Text2", u"Summa:"_s},        {form, "Text7", u"Summa:"_s},
        {report, "DTPicker2", u"Lõpp:"_s},   {report, "Combo1", u"Grupeering:"_s},
        {commands, "Combo1", u"Toiming:"_s}, {settings, "Text3", u"Port:"_s},
        {settings, "Combo1", u"Printer:"_s},
    };
    for (const auto& spot : spots) {
        EXPECT_EQ(Label(spot.window, spot.control), spot.label) << spot.control;
    }
    settings->close();

    // Every kind of box; an input box's field is named by its prompt.
    for (quint8 type : {session::kBoxMessage, session::kBoxButtons, session::kBoxInput,
                        session::kBoxSecretInput}) {
        form->OpenBox(type, u"Sisesta PIN"_s, 3);
        ExpectNamed(driver.TopBox());
        if (type >= session::kBoxInput) {
            EXPECT_EQ(Label(driver.TopBox(), "Text1"), u"Sisesta PIN"_s);
        }
        form->ReleaseBoxes();
    }

    ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }));
    QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
        raised.push_back({event->type(), event->object(), Text(event->object()),
                          Text(event->object(), QAccessible::Description)});
    });
    const auto wasRaised = [](const Raised& event) {
        return std::find(raised.begin(), raised.end(), event) != raised.end();
    };
    // Each new status text, as the payment system sends them one after another.
    for (const QString& status : {u"Sisesta kaart"_s, u"Oodake..."_s}) {
        form->ShowStatusLine(status);
        EXPECT_TRUE(wasRaised(Raised{QAccessible::NameChanged, driver.Field("Text10"), status, {}}))
            << status.toStdString();
    }
    form->OpenBox(session::kBoxMessage, u"Vigane summa."_s, 16);
    EXPECT_TRUE(
        wasRaised(Raised{QAccessible::Alert, driver.TopBox(), u"Mereval"_s, u"Vigane summa."_s}));
    QAccessible::installUpdateHandler(nullptr);
}

// A label more than a line above a field is a heading, not the field's name.
TEST(Accessibility, LabelNamesNoFieldFarBelowIt) {
    QWidget window;
    QLabel heading(u"Kaart"_s, &window);
    heading.setGeometry(0, 0, 60, 20);
    QLineEdit field(&window);
    field.setGeometry(0, 45, 60, 20);
    NameFieldsAfterLabels(window);
    EXPECT_EQ(heading.buddy(), nullptr);
}

}  // namespace
}  // namespace mereval::ui

#include "test_accessibility.moc"
