#pragma once

#include <QByteArray>
#include <QString>

namespace mereval::platform {

// Files that must survive a crash or a power cut as they were last written.
// Both create the file readable and writable by its owner only, and return 0
// or the errno of the failure.

// Appends bytes and returns once they are on the disk.
int AppendDurably(const QString& path, const QByteArray& bytes);

// Replaces the whole file at once: a reader, or a restart after a power cut,
// sees either the old content or the new, never a mix.
int ReplaceDurably(const QString& path, const QByteArray& bytes);

}  // namespace mereval::platform
