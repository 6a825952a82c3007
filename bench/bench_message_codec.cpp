// MessageCodec against libprotobuf on the same bytes, measured in one run:
// building and parsing a report "0020" of 5,000 records, and the cost of a
// frame that arrives in 4 KiB pieces (which must grow linearly with its size).
#include "session/conversions.h"
#include "session/message_codec.h"

#include <QByteArray>

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/unknown_field_set.h>
#include <google/protobuf/wire_format.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using mereval::session::DoubleToBytes;
using mereval::session::LongToBytes;
using mereval::session::MessageCodec;
namespace pb = google::protobuf;

constexpr int kRecords = 5000;
constexpr int kRecordFields = 9;
constexpr int kFirstRecord = 100;
constexpr int kRepetitions = 31;

// Keeps results alive so the optimiser cannot drop the work.
volatile quint64 gSink = 0;

struct Field {
    int index;
    QByteArray value;
};

// One realistic transaction record: terminal, date code, STAN, amount, masked
// card, sending status, flags, response code, cancelled.
std::vector<Field> RecordFields(int k) {
    const QByteArray card = "476173******" + QByteArray::number(1000 + k % 9000);
    return {
        {1, "T" + QByteArray::number(10000000 + k % 7).right(7)},
        {2, QByteArray("2405") + QByteArray::number(10 + k % 18) +
                QByteArray::number(100000 + k * 7 % 86400).right(6)},
        {3, LongToBytes(200000 + k)},
        {4, DoubleToBytes((k % 50000) / 100.0 + 0.99)},
        {5, card},
        {6, QByteArray(1, static_cast<char>(k % 5 == 0 ? 200 : 0))},
        {7, k % 11 == 0 ? QByteArray("000001") : QByteArray("000000")},
        {8, LongToBytes(k % 13 == 0 ? 5 : 0)},
        {9, LongToBytes(k % 17 == 0 ? 1 : 0)},
    };
}

struct Report {
    std::vector<Field> header;
    std::vector<std::vector<Field>> records;
};

Report MakeReport() {
    Report report;
    report.header = {{1, "0020"},
                     {2, "00000001"},
                     {3, "000042"},
                     {6, LongToBytes(1)},
                     {10, LongToBytes(kRecords)}};
    for (int k = 0; k < kRecords; ++k) {
        report.records.push_back(RecordFields(k));
    }
    return report;
}

// The same input as std::string, as a libprotobuf user would hold it.
struct StdField {
    int index;
    std::string value;
};
struct StdReport {
    std::vector<StdField> header;
    std::vector<std::vector<StdField>> records;
};

StdReport ToStd(const Report& report) {
    auto convert = [](const std::vector<Field>& fields) {
        std::vector<StdField> out;
        for (const Field& f : fields) {
            out.push_back({f.index, f.value.toStdString()});
        }
        return out;
    };
    StdReport out;
    out.header = convert(report.header);
    for (const auto& record : report.records) {
        out.records.push_back(convert(record));
    }
    return out;
}

// ---- MessageCodec ----

QByteArray OursBuild(const Report& report) {
    MessageCodec message;
    for (const Field& f : report.header) {
        message.SetField(static_cast<qint16>(f.index), f.value);
    }
    MessageCodec record;
    for (int k = 0; k < kRecords; ++k) {
        record.Clear();
        for (const Field& f : report.records[static_cast<size_t>(k)]) {
            record.SetField(static_cast<qint16>(f.index), f.value);
        }
        message.SetField(static_cast<qint16>(kFirstRecord + k), record.Build(true, true));
    }
    return message.Build(true, true);
}

// Parses the message and every record, and touches every value.
quint64 OursParse(const QByteArray& frame) {
    MessageCodec message;
    QByteArray rest;
    if (message.Parse(frame, rest) != MessageCodec::kDecoded) {
        std::abort();
    }
    quint64 total = 0;
    MessageCodec record;
    const qint16 last = message.FieldCount();
    for (int index = kFirstRecord; index <= last; ++index) {
        record.Clear();
        if (record.Parse(message.GetField(static_cast<qint16>(index), {}), rest) !=
            MessageCodec::kDecoded) {
            std::abort();
        }
        for (qint16 f = 1; f <= kRecordFields; ++f) {
            total += static_cast<quint64>(record.GetField(f, {}).size());
        }
    }
    return total;
}

// ---- libprotobuf ----

// A length-prefixed frame of the set, the fastest way libprotobuf offers:
// size once, then serialise straight into the buffer.
void TheirsSerialize(const pb::UnknownFieldSet& set, std::string* out) {
    const size_t size = pb::internal::WireFormat::ComputeUnknownFieldsSize(set);
    const size_t prefix = pb::io::CodedOutputStream::VarintSize32(static_cast<quint32>(size));
    out->resize(prefix + size);
    auto* target = reinterpret_cast<quint8*>(out->data());
    target = pb::io::CodedOutputStream::WriteVarint32ToArray(static_cast<quint32>(size), target);
    pb::internal::WireFormat::SerializeUnknownFieldsToArray(set, target);
}

std::string TheirsBuild(const StdReport& report) {
    pb::UnknownFieldSet message;
    for (const StdField& f : report.header) {
        message.AddLengthDelimited(f.index, f.value);
    }
    pb::UnknownFieldSet record;
    for (int k = 0; k < kRecords; ++k) {
        record.Clear();
        for (const StdField& f : report.records[static_cast<size_t>(k)]) {
            record.AddLengthDelimited(f.index, f.value);
        }
        TheirsSerialize(record, message.AddLengthDelimited(kFirstRecord + k));
    }
    std::string frame;
    TheirsSerialize(message, &frame);
    return frame;
}

// The body of a length-prefixed frame, or false.
bool TheirsBody(const char* data, size_t size, const char** body, int* bodySize) {
    pb::io::CodedInputStream in(reinterpret_cast<const quint8*>(data), static_cast<int>(size));
    quint32 length = 0;
    if (!in.ReadVarint32(&length) || length > size - static_cast<size_t>(in.CurrentPosition())) {
        return false;
    }
    *body = data + in.CurrentPosition();
    *bodySize = static_cast<int>(length);
    return true;
}

// libprotobuf has two parsers for unknown fields; ParseFromArray runs the
// table-driven one, MergeFromCodedStream the classic one. Both are measured
// and the faster one is the baseline.
enum class TheirParser { Array, CodedStream };

bool TheirsParseSet(TheirParser parser, const char* data, size_t size, pb::UnknownFieldSet* set) {
    const char* body = nullptr;
    int bodySize = 0;
    if (!TheirsBody(data, size, &body, &bodySize)) {
        return false;
    }
    if (parser == TheirParser::Array) {
        return set->ParseFromArray(body, bodySize);
    }
    pb::io::CodedInputStream in(reinterpret_cast<const quint8*>(body), bodySize);
    set->Clear();
    return set->MergeFromCodedStream(&in) && in.ConsumedEntireMessage();
}

quint64 TheirsParse(TheirParser parser, const QByteArray& frame) {
    pb::UnknownFieldSet message;
    if (!TheirsParseSet(parser, frame.constData(), static_cast<size_t>(frame.size()), &message)) {
        std::abort();
    }
    quint64 total = 0;
    pb::UnknownFieldSet record;
    for (int i = 0; i < message.field_count(); ++i) {
        const pb::UnknownField& field = message.field(i);
        if (field.number() < kFirstRecord) {
            continue;
        }
        const std::string& bytes = field.length_delimited();
        if (!TheirsParseSet(parser, bytes.data(), bytes.size(), &record)) {
            std::abort();
        }
        for (int f = 0; f < record.field_count(); ++f) {
            total += record.field(f).length_delimited().size();
        }
    }
    return total;
}

// ---- measuring ----

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct Timing {
    double min;
    double median;
};

Timing Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2]};
}

template <typename F>
double TimeOnce(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return Seconds(std::chrono::steady_clock::now() - start);
}

// Times the contestants in turn, repetition by repetition, so drift of the
// machine's speed hits all of them alike; before() runs untimed ahead of
// every measurement.
template <typename Before, typename... F>
std::vector<Timing> CompareAfter(int repetitions, Before&& before, F&&... work) {
    std::vector<std::vector<double>> times(sizeof...(F));
    for (int r = -2; r < repetitions; ++r) {  // two warm-up rounds
        size_t i = 0;
        (
            [&] {
                before();
                const double t = TimeOnce(work);
                if (r >= 0) {
                    times[i].push_back(t);
                }
                ++i;
            }(),
            ...);
    }
    std::vector<Timing> result;
    for (const auto& t : times) {
        result.push_back(Summarise(t));
    }
    return result;
}

template <typename... F>
std::vector<Timing> Compare(int repetitions, F&&... work) {
    return CompareAfter(
        repetitions, [] {}, work...);
}

// Pushes everything out of the processor's caches, so that a 1 MB frame does
// not run from cache where a 10 MB one cannot: the comparison of the two is
// about the work per byte, not about the cache size.
void EvictCaches() {
    static std::vector<char> sweep(64 << 20);
    for (size_t i = 0; i < sweep.size(); i += 64) {
        sweep[i] = static_cast<char>(sweep[i] + 1);
    }
    gSink = gSink + static_cast<quint64>(sweep[sweep.size() / 2]);
}

void PrintTime(const char* what, const Timing& t) {
    std::printf("%-40s min %8.3f ms   median %8.3f ms\n", what, t.min * 1e3, t.median * 1e3);
}

// A frame of about totalBytes: 300-byte text fields, as many as fit.
QByteArray BigFrame(qint64 totalBytes) {
    MessageCodec codec;
    const qint64 count = std::min<qint64>(totalBytes / 304, MessageCodec::kMaxIndex);
    for (qint64 i = 1; i <= count; ++i) {
        codec.SetField(static_cast<qint16>(i), QByteArray(300, static_cast<char>('a' + i % 26)));
    }
    return codec.Build(true, true);
}

// Appends the frame to a receive buffer 4 KiB at a time and drains it after
// every append, like the socket reader does.
void ReceiveInPieces(const QByteArray& frame) {
    constexpr qsizetype kPiece = 4096;
    QByteArray buffer;
    MessageCodec codec;
    qint16 status = MessageCodec::kIncomplete;
    for (qsizetype offset = 0; offset < frame.size(); offset += kPiece) {
        buffer.append(frame.constData() + offset, std::min(kPiece, frame.size() - offset));
        status = codec.Parse(buffer, buffer);
    }
    if (status != MessageCodec::kDecoded || !buffer.isEmpty()) {
        std::abort();
    }
    gSink = gSink + static_cast<quint64>(codec.FieldCount());
}

// Ratios are of the medians; the minima are printed beside them.
void Verdict(const char* what, const Timing& ours, const Timing& base, double target) {
    const double ratio = ours.median / base.median;
    std::printf("%-30s %6.3f  (of minima %6.3f; target <= %.1f: %s)\n", what, ratio,
                ours.min / base.min, target, ratio <= target ? "met" : "MISSED");
}

}  // namespace

int main() {
    const Report report = MakeReport();
    const StdReport stdReport = ToStd(report);

    // Both must produce and read the very same bytes, or the race is void.
    const QByteArray ours = OursBuild(report);
    const std::string theirs = TheirsBuild(stdReport);
    if (ours.toStdString() != theirs) {
        std::fprintf(stderr, "the frames built differ\n");
        return 1;
    }
    const quint64 expected = OursParse(ours);
    if (TheirsParse(TheirParser::Array, ours) != expected ||
        TheirsParse(TheirParser::CodedStream, ours) != expected) {
        std::fprintf(stderr, "the parsers disagree\n");
        return 1;
    }
    std::printf("report \"0020\": %d records of %d fields, frame of %lld bytes\n", kRecords,
                kRecordFields, static_cast<long long>(ours.size()));

    const auto build = Compare(
        kRepetitions, [&] { gSink = gSink + static_cast<quint64>(OursBuild(report).size()); },
        [&] { gSink = gSink + TheirsBuild(stdReport).size(); });
    const auto parse = Compare(
        kRepetitions, [&] { gSink = gSink + OursParse(ours); },
        [&] { gSink = gSink + TheirsParse(TheirParser::Array, ours); },
        [&] { gSink = gSink + TheirsParse(TheirParser::CodedStream, ours); });
    const Timing& theirParse = parse[1].median <= parse[2].median ? parse[1] : parse[2];

    PrintTime("build  MessageCodec", build[0]);
    PrintTime("build  libprotobuf", build[1]);
    PrintTime("parse  MessageCodec", parse[0]);
    PrintTime("parse  libprotobuf ParseFromArray", parse[1]);
    PrintTime("parse  libprotobuf MergeFromCodedStream", parse[2]);

    const QByteArray small = BigFrame(1'000'000);
    const QByteArray large = BigFrame(10'000'000);
    const auto pieces = CompareAfter(
        kRepetitions, EvictCaches, [&] { ReceiveInPieces(small); },
        [&] { ReceiveInPieces(large); });
    std::printf("frames of 300-byte fields arriving in 4 KiB pieces:\n");
    PrintTime(("receive " + std::to_string(small.size()) + " bytes").c_str(), pieces[0]);
    PrintTime(("receive " + std::to_string(large.size()) + " bytes").c_str(), pieces[1]);

    Verdict("ratio build ours/libprotobuf", build[0], build[1], 1.0);
    Verdict("ratio parse ours/libprotobuf", parse[0], theirParse, 1.0);
    Verdict("ratio receive 10 MB / 1 MB", pieces[1], pieces[0], 12.0);
    return 0;
}
