#include "common/value_helpers.h"

#include <QDateTime>

#include <array>
#include <cmath>

namespace mereval::common {
namespace {

const std::array<const char16_t*, 12> kMonthNames = {
    u"jaanuar", u"veebruar", u"märts",     u"aprill",   u"mai",      u"juuni",
    u"juuli",   u"august",   u"september", u"oktoober", u"november", u"detsember"};

QString TwoDigits(int value) {
    return QString::number(value).rightJustified(2, u'0');
}

QDate DateOf(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate();
        case QMetaType::QDateTime:
            return value.toDateTime().date();
        case QMetaType::QString: {
            const QString text = value.toString().trimmed();
            for (const auto* format : {u"yyyy-MM-dd", u"d.M.yyyy"}) {
                const QDate date = QDate::fromString(text, QString::fromUtf16(format));
                if (date.isValid()) {
                    return date;
                }
            }
            return {};
        }
        default:
            return {};
    }
}

}  // namespace

QString ShortDateCode(const QDate& date) {
    QString year = QString::number(date.year());
    if (year.size() < 2) {
        year.prepend(u'0');
    }
    return year.right(2) + TwoDigits(date.month()) + TwoDigits(date.day());
}

QString LongDateText(const QVariant& value) {
    const QDate date = DateOf(value);
    if (!date.isValid()) {
        return {};
    }
    return TwoDigits(date.day()) + QStringLiteral(". ") +
           QString::fromUtf16(kMonthNames[date.month() - 1]) + u' ' +
           QString::number(date.year()).rightJustified(4, u'0');
}

qint32 LongFromBytes(const QByteArray& bytes) {
    if (bytes.size() != 4) {
        return 0;
    }
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<quint8>(bytes[i]);
    }
    return static_cast<qint32>(value);
}

double RoundToUnit(double x, double unit) {
    const double sign = x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0);
    return std::floor(std::fabs(x) / unit + 0.5 + 1e-13) * sign * unit;
}

namespace {
constexpr qsizetype kDateTimeCodeLength = 12;
}

QString CodeDateText(const QString& code) {
    if (code.size() != kDateTimeCodeLength) {
        return {};
    }
    return code.mid(4, 2) + u'.' + code.mid(2, 2) + QStringLiteral(".20") + code.mid(0, 2);
}

QString CodeTimeText(const QString& code) {
    if (code.size() != kDateTimeCodeLength) {
        return {};
    }
    return code.mid(6, 2) + u':' + code.mid(8, 2) + u':' + code.mid(10, 2);
}

QString CodeDateTimeText(const QString& code) {
    return CodeDateText(code) + u' ' + CodeTimeText(code);
}

bool ParseNumericText(const QString& text, double* value) {
    QString digits = text.trimmed();
    qsizetype pos = 0;
    if (pos < digits.size() && (digits[pos] == u'-' || digits[pos] == u'+')) {
        ++pos;
    }
    bool anyDigit = false;
    bool separator = false;
    for (qsizetype i = pos; i < digits.size(); ++i) {
        const QChar c = digits[i];
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
        } else if ((c == u'.' || c == u',') && !separator) {
            separator = true;
            digits[i] = u'.';
        } else {
            return false;
        }
    }
    if (!anyDigit) {
        return false;
    }
    bool ok = false;
    const double result = digits.toDouble(&ok);
    if (!ok) {
        return false;
    }
    *value = result;
    return true;
}

}  // namespace mereval::common
