#pragma once

#include <QString>

namespace mereval::platform {

// The desktop's "Open" action for a file: it hands the file to the program
// that the desktop registers for its type (a PDF viewer for the report).
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;

    // False when the desktop could not hand the file to any program.
    virtual bool OpenDocument(const QString& path) = 0;
};

}  // namespace mereval::platform
