#include "printing/find_printer_index.h"

#include "platform/spooler.h"

#include <limits>

namespace mereval::printing {

qint16 FindPrinterIndex(const QStringList& printers, const QString& name) {
    if (name.isEmpty()) {
        return -1;
    }
    const qsizetype index = printers.indexOf(name);
    return index >= 0 && index <= std::numeric_limits<qint16>::max() ? static_cast<qint16>(index)
                                                                     : -1;
}

qint16 FindPrinterIndex(const QString& name) {
    return FindPrinterIndex(platform::InstalledPrinterNames(), name);
}

}  // namespace mereval::printing
