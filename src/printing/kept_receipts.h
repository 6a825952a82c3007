#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace mereval::printing {

// lastreceipts.bin in the program's folder: the receipt block of the last
// approval that had receipts to print, kept for a reprint. One frame of the
// message encoding: field 1 the block as the payment system sent it (its card
// numbers masked), field 2 the approval's STAN. Readable and writable by the
// owner only, replaced whole, so a power cut leaves the old block or the new.
struct KeptReceipts {
    QByteArray block;
    qint32 stan = 0;
};

QString KeptReceiptsPath();

// Returns 0 or the errno of the failure, which is logged to the error log.
int KeepReceipts(const KeptReceipts& kept);

// Nothing when no block was kept, or the file does not decode.
std::optional<KeptReceipts> LoadKeptReceipts();

}  // namespace mereval::printing
