#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace mereval::paysim {

// What an approval's receipts show.
struct ReceiptDetails {
    QString title;  // the operation, e.g. "KAARDIMAKSE"
    QString terminal;
    QDateTime time;
    std::optional<double> amount;
    QString maskedCard;  // empty: the operation has no card line
    std::optional<qint32> receiptNumber;
    qint32 stan = 0;
};

// The receipt block of "0012": a frame whose field 1 is the merchant's copy
// and field 2 the customer's, CR LF lines in the wire code page.
QByteArray BuildReceiptBlock(const ReceiptDetails& details);

// The first card number (12 to 19 digits) in card data, masked as on a
// receipt: "476173******0010"; "" when there is none.
QString MaskedCardNumber(const QByteArray& cardData);

}  // namespace mereval::paysim
