#include "session/conversions.h"

#include "common/value_helpers.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace mereval::session {
namespace {

constexpr qsizetype kMaxAmountLength = 32;

double DigitsValue(const QString& digits) {
    return digits.isEmpty() ? 0.0 : digits.toDouble();
}

}  // namespace

bool GetAmount(const QString& amountString, double& resultAmount) {
    qsizetype first = 0;
    qsizetype last = amountString.size();
    while (first < last && amountString[first] == u' ') {
        ++first;
    }
    while (last > first && amountString[last - 1] == u' ') {
        --last;
    }
    const QString text = amountString.sliced(first, last - first);
    if (text.isEmpty() || text.size() > kMaxAmountLength) {
        return false;
    }
    const bool negative = text[0] == u'-';
    if (negative && text.size() == 1) {
        return false;
    }

    QString digits;
    double whole = 0;
    bool separator = false;
    for (qsizetype i = negative ? 1 : 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits.append(c);
        } else if (c == u',' || c == u'.') {
            if (separator || i == 0 || (negative && i == 1) || text.size() - i - 1 != 2) {
                return false;
            }
            separator = true;
            whole = DigitsValue(digits);
            digits.clear();
        } else {
            resultAmount = 0;
            return false;
        }
    }
    double amount = separator ? whole + DigitsValue(digits) / 100 : DigitsValue(digits);
    resultAmount = negative ? -amount : amount;
    return true;
}

qint32 ParseLongInRange(const QString& text, qint32 lowest, qint32 highest, qint32 fallback) {
    double number = 0;
    if (!common::ParseNumericText(text, &number)) {
        return fallback;
    }
    const double rounded = std::nearbyint(number);  // the default mode rounds halves to even
    if (rounded < lowest || rounded > highest) {
        return fallback;
    }
    return static_cast<qint32>(rounded);
}

QString FormatFixedWidth(qint32 value, qint16 width) {
    if (width <= 0) {
        return {};
    }
    const QString digits = QString::number(std::abs(qint64(value)));
    if (digits.size() >= width) {
        return digits.right(width);
    }
    return digits.rightJustified(width, u'0');
}

QString RegionalNumberText(double value, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'G', 15);
}

QByteArray LongToBytes(qint32 value) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray DoubleToBytes(double value) {
    static_assert(std::numeric_limits<double>::is_iec559);
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray bytes(8, Qt::Uninitialized);
    qToLittleEndian(bits, bytes.data());
    return bytes;
}

double DoubleFromBytes(const QByteArray& bytes) {
    if (bytes.size() != 8) {
        return 0;
    }
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData());
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace mereval::session
