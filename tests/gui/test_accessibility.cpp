#include "session/session_view.h"
#include "support/accessibility_bus.h"
#include "support/main_window_driver.h"
#include "support/temp_environment.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QComboBox>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace mereval::ui {
namespace {

QString Text(QObject* object, QAccessible::Text kind = QAccessible::Name) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
    return node != nullptr ? node->text(kind) : QString();
}

// What a screen reader says a field is: its label, else its name.
QString Label(QWidget* control) {
    const auto labels =
        QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label);
    return labels.isEmpty() ? Text(control) : labels.first().first->text(QAccessible::Name);
}

QWidget* Control(QWidget* window, const char* name) {
    for (QWidget* control : window->findChildren<QWidget*>(QLatin1String(name))) {
        if (control->window() == window) {
            return control;
        }
    }
    ADD_FAILURE() << "no control " << name << " in " << window->objectName().toStdString();
    return window;
}

// Every control a keyboard user can meet has a name, the editors inside lists
// and date pickers aside.
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

// Each event with what its object said when it was raised.
struct Raised {
    QAccessible::Event type;
    QObject* object;
    QString name;
    QString description;
    bool operator==(const Raised&) const = default;
};
std::vector<Raised> raised;
void Record(QAccessibleEvent* event) {
    raised.push_back({event->type(), event->object(), Text(event->object()),
                      Text(event->object(), QAccessible::Description)});
}
bool WasRaised(const Raised& event) {
    return std::find(raised.begin(), raised.end(), event) != raised.end();
}

class Accessibility : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus_ = std::make_unique<test::AccessibilityBus>(); }
    static void TearDownTestSuite() { bus_.reset(); }
    void SetUp() override { form_ = &driver_.Open(env_, "ReportMode=0\nPOS=00000001\n"); }
    void TearDown() override { QAccessible::installUpdateHandler(nullptr); }

    QWidget* Dialog(const char* menuItem, const char* name) const {
        driver_.Find<QAction>(menuItem)->trigger();
        ExpectNamed(driver_.Find<QWidget>(name));
        return driver_.Find<QWidget>(name);
    }

    static inline std::unique_ptr<test::AccessibilityBus> bus_;
    test::TempProgramEnvironment env_;
    test::MainWindowDriver driver_;
    Form1* form_ = nullptr;
};

TEST_F(Accessibility, EveryControlIsNamedAndEveryFieldByItsLabel) {
    for (int tab = 1; tab <= 5; ++tab) {
        ExpectNamed(form_);
        QTest::keyClick(driver_.KeyTarget(), Qt::Key_Tab, Qt::ControlModifier);
    }
    QWidget* const report = Dialog("Report", "Form3");
    QWidget* const commands = Dialog("PosCommand", "Form4");
    QWidget* const settings = Dialog("SettingsM", "Settings");
    const struct {
        QWidget* window;
        const char* control;
        const char16_t* label;
    } spots[] = {
        {form_, "Text2", u"Summa:"},
        {form_, "Text1", u"Kaardi nr."},
        {form_, "Text8", u"Kviitungi nr."},
        {form_, "Text7", u"Summa:"},
        {form_, "Command2", u"Loobu"},
        {report, "DTPicker2", u"Lõpp:"},
        {report, "Combo1", u"Grupeering:"},
        {commands, "Combo1", u"Toiming:"},
        {settings, "Text3", u"Port:"},
        {settings, "Combo1", u"Printer:"},
        {settings, "Check3", u"Aruanne reziim"},
    };
    for (const auto& spot : spots) {
        EXPECT_EQ(Label(Control(spot.window, spot.control)).toStdString(),
                  QString::fromUtf16(spot.label).toStdString())
            << spot.control;
    }
    settings->close();

    // Every kind of box; an input box's field is named by its prompt.
    for (quint8 type : {session::kBoxMessage, session::kBoxButtons, session::kBoxInput,
                        session::kBoxSecretInput}) {
        form_->OpenBox(type, QStringLiteral("Sisesta PIN"), 3);
        ExpectNamed(driver_.TopBox());
        if (type >= session::kBoxInput) {
            EXPECT_EQ(Label(Control(driver_.TopBox(), "Text1")), QStringLiteral("Sisesta PIN"));
        }
        form_->ReleaseBoxes();
    }
}

TEST_F(Accessibility, StatusTextsAndBoxesAreAnnounced) {
    ASSERT_TRUE(bus_->IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }));
    QAccessible::installUpdateHandler(&Record);
    // Each new status text, as the payment system sends them one after another.
    for (const QString& status : {QStringLiteral("Sisesta kaart"), QStringLiteral("Oodake...")}) {
        form_->ShowStatusLine(status);
        EXPECT_TRUE(WasRaised({QAccessible::NameChanged, driver_.Field("Text10"), status, {}}))
            << status.toStdString();
    }

    const QString error = QStringLiteral("Vigane summa.");
    form_->OpenBox(session::kBoxMessage, error, 16);
    EXPECT_TRUE(
        WasRaised({QAccessible::Alert, driver_.TopBox(), QStringLiteral("Mereval"), error}));
}

}  // namespace
}  // namespace mereval::ui
