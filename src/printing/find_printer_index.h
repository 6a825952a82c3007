#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace mereval::printing {

// The position of the first printer of the list whose name equals name
// exactly (letter case counts), -1 when there is none; an empty name is
// never found.
qint16 FindPrinterIndex(const QStringList& printers, const QString& name);

// The same in the installed printers (platform::InstalledPrinterNames).
qint16 FindPrinterIndex(const QString& name);

}  // namespace mereval::printing
