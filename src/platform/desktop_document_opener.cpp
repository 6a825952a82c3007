#include "platform/desktop_document_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace mereval::platform {

bool DesktopDocumentOpener::OpenDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace mereval::platform
