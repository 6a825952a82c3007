#include "paysim/report_generator.h"

#include "session/conversions.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <vector>

namespace mereval::paysim {
namespace {

namespace field = session::catalogue::field;
namespace record = session::catalogue::record;

constexpr qsizetype kDateTimeCodeLength = 12;
constexpr qint32 kReportVersion = 0;

constexpr std::array<const char*, 3> kTerminals = {"70011001", "70011002", "70011003"};
// Regular customers, so that grouping by card finds repeats.
constexpr std::array<const char*, 6> kRegularCards = {"476173******0010", "540011******1234",
                                                      "492913******7781", "516732******0456",
                                                      "476173******3391", "374245******1005"};
constexpr std::array<const char*, 4> kCardPrefixes = {"476173", "540011", "492913", "516732"};
constexpr std::array<qint32, 4> kDeclineCodes = {5, 51, 54, 61};

std::optional<QDateTime> ReadDateTimeCode(const QByteArray& text) {
    if (text.size() != kDateTimeCodeLength ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto part = [&text](int i) { return text.mid(2 * i, 2).toInt(); };
    // The two-digit years of the wire are this century's.
    const QDate date(2000 + part(0), part(1), part(2));
    const QTime time(part(3), part(4), part(5));
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC);
}

// FNV-1a: a seed that stays the same across runs and Qt versions.
quint64 SeedOf(const QByteArray& text) {
    quint64 hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash = (hash ^ static_cast<quint8>(c)) * 1099511628211ULL;
    }
    return hash;
}

class RecordMaker {
public:
    RecordMaker(const QDateTime& start, quint64 seed) : start_(start), random_(seed) {
        stan_ = 1000 + Below(9000);
    }

    // Offsets drawn first and sorted, so the report reads in time order.
    std::vector<qint64> SortedOffsets(qint64 span, qint32 count) {
        std::vector<qint64> offsets(static_cast<size_t>(count));
        for (qint64& offset : offsets) {
            offset = static_cast<qint64>(random_() % static_cast<quint64>(span + 1));
        }
        std::sort(offsets.begin(), offsets.end());
        return offsets;
    }

    QByteArray Make(qint64 offset) {
        stan_ += 1 + Below(3);
        const qint32 responseCode = ResponseCode();
        const bool cancelled = responseCode == 0 && Below(100) < 6;
        return BuildFrame({
            {record::Terminal,
             QByteArray(kTerminals[static_cast<size_t>(Below(kTerminals.size()))])},
            {record::DateTime,
             start_.addSecs(offset).toString(QStringLiteral("yyMMddHHmmss")).toLatin1()},
            {record::Stan, session::LongToBytes(stan_)},
            {record::Amount, session::DoubleToBytes((100 + Below(20000)) / 100.0)},
            {record::Card, Card()},
            {record::SendStatus, session::catalogue::ByteValue(SendStatus())},
            {record::Flags, Flags()},
            {record::ResponseCode, session::LongToBytes(responseCode)},
            {record::Cancelled, session::LongToBytes(cancelled ? 1 : 0)},
        });
    }

private:
    qint32 Below(size_t bound) { return static_cast<qint32>(random_() % bound); }

    QByteArray Card() {
        if (Below(10) < 7) {
            return kRegularCards[static_cast<size_t>(Below(kRegularCards.size()))];
        }
        const QByteArray prefix = kCardPrefixes[static_cast<size_t>(Below(kCardPrefixes.size()))];
        return prefix + "******" + QByteArray::number(Below(10000)).rightJustified(4, '0');
    }

    // Below 200 is sent; about one in ten is still waiting.
    quint8 SendStatus() {
        return static_cast<quint8>(Below(100) < 10 ? 200 + Below(56) : Below(200));
    }

    // Character 5 "1": reservation, character 6 "1": tip.
    QByteArray Flags() {
        const qint32 roll = Below(100);
        if (roll < 8) {
            return "000010";
        }
        if (roll < 16) {
            return "000001";
        }
        if (roll < 19) {
            return "000011";
        }
        return "000000";
    }

    // Mostly approvals; some declines, some technical codes of 100 and more,
    // and a few of 10000 and more that a report never shows.
    qint32 ResponseCode() {
        const qint32 roll = Below(100);
        if (roll < 80) {
            return 0;
        }
        if (roll < 90) {
            return kDeclineCodes[static_cast<size_t>(Below(kDeclineCodes.size()))];
        }
        if (roll < 98) {
            return 100 + Below(50);
        }
        return 10000 + Below(5);
    }

    QDateTime start_;
    std::mt19937_64 random_;
    qint32 stan_ = 0;
};

}  // namespace

FieldList ReportDataBody(const QByteArray& periodStart, const QByteArray& periodEnd, qint32 rows) {
    const qint32 count = std::clamp(rows, 0, kMaxReportRows);
    QDateTime start = ReadDateTimeCode(periodStart)
                          .value_or(QDateTime(QDate::currentDate(), QTime(0, 0), Qt::UTC));
    QDateTime end =
        ReadDateTimeCode(periodEnd).value_or(QDateTime(start.date(), QTime(23, 59, 59), Qt::UTC));
    if (end < start) {
        std::swap(start, end);
    }

    RecordMaker maker(start,
                      SeedOf(periodStart + '|' + periodEnd + '|' + QByteArray::number(count)));
    FieldList body = {{field::ReportVersion, session::LongToBytes(kReportVersion)},
                      {field::RecordCount, session::LongToBytes(count)}};
    body.reserve(static_cast<size_t>(count) + body.size());
    const std::vector<qint64> offsets = maker.SortedOffsets(start.secsTo(end), count);
    for (qint32 k = 0; k < count; ++k) {
        body.emplace_back(static_cast<qint16>(field::FirstRecord + k),
                          maker.Make(offsets[static_cast<size_t>(k)]));
    }
    return body;
}

}  // namespace mereval::paysim
