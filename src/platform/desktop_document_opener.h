#pragma once

#include "platform/document_opener.h"

namespace mereval::platform {

// DocumentOpener through QDesktopServices, so it needs a QGuiApplication; it
// lives in its own library for that reason (mereval_platform_desktop) and
// the logic libraries see only the interface.
//
// On X11 desktops Qt starts xdg-open (or the desktop's own launcher) and
// reports whether that could be started; a launcher that then finds no
// viewer for the type is not seen here.
class DesktopDocumentOpener final : public DocumentOpener {
public:
    bool OpenDocument(const QString& path) override;
};

}  // namespace mereval::platform
