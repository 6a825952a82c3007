#include "paysim/receipts.h"

#include "common/code_page.h"
#include "paysim/message_fields.h"
#include "session/conversions.h"

#include <QRegularExpression>
#include <QStringList>

namespace mereval::paysim {
namespace {

constexpr int kVisibleHead = 6;
constexpr int kVisibleTail = 4;
constexpr qint16 kStanDigits = 6;
constexpr qint16 kMerchantCopy = 1;
constexpr qint16 kCustomerCopy = 2;

QString Line(const char16_t* label, const QString& value) {
    return QString::fromUtf16(label).leftJustified(10) + value;
}

QStringList CommonLines(const ReceiptDetails& details) {
    const QString rule(32, u'-');
    QStringList lines = {
        QStringLiteral("MEREVAL TESTKAUPLUS"),
        QStringLiteral("Pärnu mnt 12, Tallinn"),
        rule,
        details.title,
        Line(u"Kuupäev:", details.time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))),
        Line(u"Terminal:", details.terminal),
    };
    if (!details.maskedCard.isEmpty()) {
        lines.append(Line(u"Kaart:", details.maskedCard));
    }
    if (details.amount) {
        lines.append(
            Line(u"Summa:", QString::number(*details.amount, 'f', 2) + QStringLiteral(" EUR")));
    }
    if (details.receiptNumber) {
        lines.append(Line(u"Kviitung:", QString::number(*details.receiptNumber)));
    }
    lines.append(Line(u"STAN:", session::FormatFixedWidth(details.stan, kStanDigits)));
    lines.append(QStringLiteral("Tehing on kinnitatud"));
    lines.append(rule);
    return lines;
}

QByteArray ReceiptText(const QStringList& lines) {
    return common::ToCodePage(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

}  // namespace

QByteArray BuildReceiptBlock(const ReceiptDetails& details) {
    QStringList merchant = CommonLines(details);
    merchant.append(QStringLiteral("Allkiri: ______________________"));
    merchant.append(QStringLiteral("KAUPMEHE KOOPIA"));

    QStringList customer = CommonLines(details);
    customer.append(QStringLiteral("Täname ostu eest!"));
    customer.append(QStringLiteral("Säilitage tšekk"));
    customer.append(QStringLiteral("KLIENDI KOOPIA"));

    return BuildFrame(
        {{kMerchantCopy, ReceiptText(merchant)}, {kCustomerCopy, ReceiptText(customer)}});
}

QString MaskedCardNumber(const QByteArray& cardData) {
    static const QRegularExpression kCardNumber(QStringLiteral("\\d{12,19}"));
    const QRegularExpressionMatch match = kCardNumber.match(QString::fromLatin1(cardData));
    if (!match.hasMatch()) {
        return {};
    }
    const QString number = match.captured();
    return number.left(kVisibleHead) + QString(number.size() - kVisibleHead - kVisibleTail, u'*') +
           number.right(kVisibleTail);
}

}  // namespace mereval::paysim
