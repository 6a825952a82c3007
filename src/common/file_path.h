#pragma once

#include <QString>

namespace mereval::common {

// folder, a "/" unless the folder already ends in one, then fileName. "/" is
// this platform's only separator, so a folder ending in ":" (a drive on the
// till's original platform) gets one too.
QString MakeFilePath(const QString& folder, const QString& fileName);

}  // namespace mereval::common
