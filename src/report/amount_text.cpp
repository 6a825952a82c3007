#include "report/amount_text.h"

#include "common/value_helpers.h"

#include <cmath>

namespace mereval::report {

QString AmountText(double amount) {
    if (!std::isfinite(amount)) {
        return QString::number(amount);  // "inf", "-inf", "nan": sums past any till's range
    }
    // From 2^53 on every double is a whole number: its cents are its digits
    // and "00", where the product with 100 would lose digits or overflow.
    constexpr double kWholeFrom = 9007199254740992.0;
    QString digits;
    if (std::fabs(amount) >= kWholeFrom) {
        digits = QString::number(std::fabs(amount), 'f', 0) + QStringLiteral("00");
    } else {
        const double cents = common::RoundToUnit(std::fabs(amount * 100), 1);
        digits = cents < kWholeFrom ? QString::number(static_cast<qint64>(cents))
                                    : QString::number(cents, 'f', 0);
    }
    while (digits.size() < 3) {
        digits.prepend(u'0');
    }
    QString text;
    text.reserve(digits.size() + 2);
    if (amount < 0) {
        text += u'-';
    }
    text += QStringView(digits).first(digits.size() - 2);
    text += u'.';
    text += QStringView(digits).last(2);
    return text;
}

}  // namespace mereval::report
