#pragma once

#include "platform/document_opener.h"

#include <QObject>

#include <functional>

namespace mereval::platform {

// DocumentOpener through the desktop's "xdg-open", which hands the file to
// the viewer registered for its type. The window never waits for it: the
// opener runs on its own, and when it ends in failure (status 3: no program
// takes the type) ViewerFailed is called then. A launcher that cannot start
// at all makes OpenDocument false at once.
class DesktopDocumentOpener final : public DocumentOpener {
public:
    explicit DesktopDocumentOpener(std::function<void()> viewerFailed);
    ~DesktopDocumentOpener() override;

    bool OpenDocument(const QString& path) override;

private:
    std::function<void()> viewerFailed_;
    QObject launchers_;  // the running openers, ended with this object
};

}  // namespace mereval::platform
