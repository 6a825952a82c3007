#include "platform/desktop_document_opener.h"

#include <QProcess>

#include <utility>

namespace mereval::platform {

DesktopDocumentOpener::DesktopDocumentOpener(std::function<void()> viewerFailed)
    : viewerFailed_(std::move(viewerFailed)) {}

DesktopDocumentOpener::~DesktopDocumentOpener() = default;

bool DesktopDocumentOpener::OpenDocument(const QString& path) {
    auto* launcher = new QProcess(&launchers_);
    launcher->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(launcher, &QProcess::finished, launcher,
                     [this, launcher](int exitCode, QProcess::ExitStatus status) {
                         launcher->deleteLater();
                         if (status != QProcess::NormalExit || exitCode != 0) {
                             viewerFailed_();
                         }
                     });
    launcher->start(QStringLiteral("xdg-open"), {path});
    if (!launcher->waitForStarted()) {
        delete launcher;
        return false;
    }
    return true;
}

}  // namespace mereval::platform
