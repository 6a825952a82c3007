#include "support/accessibility_bus.h"

#include "support/child_process.h"

#include <QDBusConnection>

namespace mereval::test {

AccessibilityBus::AccessibilityBus() {
    DieWithParent(daemon_);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    QByteArray address;
    while (!address.contains('\n') && daemon_.waitForReadyRead(10000)) {
        address += daemon_.readAllStandardOutput();
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.trimmed());
    // Qt asks the bus whether a screen reader runs; this says it does.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.registerObject(QStringLiteral("/org/a11y/bus"), this,
                           QDBusConnection::ExportScriptableSlots) &&
        bus.registerService(QStringLiteral("org.a11y.Bus"))) {
        address_ = QString::fromUtf8(address.trimmed());
    }
}

AccessibilityBus::~AccessibilityBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(3000)) {
        daemon_.kill();
        daemon_.waitForFinished(3000);
    }
}

}  // namespace mereval::test
