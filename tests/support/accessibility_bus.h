#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

namespace mereval::test {

// Assistive technology listening, as in a screen reader's session: a private
// session bus on which this object announces the accessibility bus (the same
// bus), so that Qt's bridge on X11 turns accessibility on and QAccessible's
// update handler sees every event. Qt looks for the bus once, when the first
// window is made, so this must come before it.
class AccessibilityBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.a11y.Bus")

public:
    AccessibilityBus();
    ~AccessibilityBus() override;
    bool IsRunning() const { return !address_.isEmpty(); }

public Q_SLOTS:
    Q_SCRIPTABLE QString GetAddress() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace mereval::test
