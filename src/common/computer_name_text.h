#pragma once

#include "platform/computer_name.h"

#include <QString>

namespace mereval::common {

// Asks for the computer name into a buffer of capacity bytes and returns
// the length it reports.
using ComputerNameQuery = qsizetype (*)(char* buffer, qsizetype capacity);

// The workstation's network name for error log entries, asked for with a
// buffer of 2048 bytes; " <> " when the reported length is not between 1 and
// the buffer's size. Tests pass their own query.
QString ComputerNameText(ComputerNameQuery query = &platform::QueryComputerName);

}  // namespace mereval::common
