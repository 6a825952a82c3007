#pragma once

#include "common/code_page.h"
#include "common/error_log.h"

#include <QFile>

#include <string>
#include <vector>

namespace mereval::test {

// The entries of the program's error log as "procedure: number - message",
// in UTF-8 so that a failed comparison prints readably.
inline std::vector<std::string> ErrorLogEntries() {
    QFile file(common::DefaultErrorLogPath());
    std::vector<std::string> entries;
    if (!file.open(QIODevice::ReadOnly)) {
        return entries;
    }
    const QString log = common::FromCodePage(file.readAll());
    for (const QString& line : log.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype procedure = line.indexOf(QStringLiteral(">\t")) + 2;
        const qsizetype message = line.lastIndexOf(QStringLiteral("\t(")) + 2;
        entries.push_back(
            (line.mid(procedure, line.indexOf(QStringLiteral(" , "), procedure) - procedure) +
             QStringLiteral(": ") + line.mid(message).chopped(2))
                .toStdString());
    }
    return entries;
}

}  // namespace mereval::test
