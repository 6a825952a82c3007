#pragma once

#include <QString>

namespace mereval::platform {

// The folder of log.txt, the error log and Report.pdf: MEREVAL_HOME when it
// is set and not empty (tests, a till that keeps its files elsewhere),
// otherwise the executable's own folder.
QString ProgramFolder();

// The executable's file name without its last extension ("mereval").
QString ProgramName();

}  // namespace mereval::platform
