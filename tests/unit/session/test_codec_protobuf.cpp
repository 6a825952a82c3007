// MessageCodec against protobuf's own implementation: what we write, protobuf
// (google.protobuf for /usr/bin/python3) must read as
// the same fields, and what protobuf writes, we must. The payment-system side
// relies on exactly that when it uses a protobuf library.
#include "common/code_page.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

namespace field = catalogue::field;

const QString kPython = u"/usr/bin/python3"_s;
const QString kPeer = QStringLiteral(MEREVAL_PROTOBUF_PEER);

// ---- messages described once, built by us and by protobuf ----

struct Field {
    qint16 index;
    QByteArray value;
};

struct Message {
    const char* name;
    std::vector<Field> fields;
    bool repeatsAnIndex = false;  // only protobuf can write this one
};

Field Value(qint16 index, const QByteArray& value) {
    return {index, value};
}

QByteArray FrameOf(const Message& message) {
    MessageCodec codec;
    for (const Field& f : message.fields) {
        codec.SetField(f.index, f.value);
    }
    return codec.Build(true, true);
}

// A field holding a whole frame.
Field Frame(qint16 index, const Message& message) {
    return {index, FrameOf(message)};
}

QByteArray Text(const char16_t* text) {
    return common::ToCodePage(QString::fromUtf16(text));
}

QByteArray Pattern(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 256);
    }
    return bytes;
}

Message Record(int k) {
    return {"record",
            {Value(1, "T0000012"), Value(2, "240517134502"), Value(3, LongToBytes(200000 + k)),
             Value(4, DoubleToBytes(12.5 * k)), Value(5, "476173******0010"),
             Value(6, catalogue::ByteValue(k == 2 ? 200 : 0)), Value(7, "000001"),
             Value(8, LongToBytes(k == 1 ? 5 : 0)), Value(9, LongToBytes(0))}};
}

std::vector<Message> Messages() {
    const QByteArray zero = catalogue::ByteValue(0);
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b) {
        everyByte.append(static_cast<char>(b));
    }
    return {
        {"request 0001",
         {Value(field::Code, "0001"), Value(field::PosId, "00000001"),
          Value(field::Session, "000042"), Value(field::Amount, DoubleToBytes(12.34)),
          Value(field::CardData, ";4761739001010010=25121011000012345678?"),
          Value(field::TransactionKind, zero), Value(field::Reserved7, zero),
          Value(field::Reserved11, zero), Value(field::Reserved14, zero)}},
        {"approval 0012 with receipts",
         {Value(field::Code, "0012"), Value(field::PosId, "00000001"),
          Value(field::Session, "000042"),
          Frame(field::Receipts, {"receipts",
                                  {Value(1, Text(u"KAUPLUS Õismäe\r\nSumma: 12,34 €\r\n")),
                                   Value(2, Text(u"Tšekk nr 123, žurnaal\r\n"))}}),
          Value(field::Stan, LongToBytes(123))}},
        {"report 0020",
         {Value(field::Code, "0020"), Value(field::PosId, "00000001"),
          Value(field::Session, "000042"), Value(field::ReportVersion, LongToBytes(1)),
          Value(field::RecordCount, LongToBytes(3)), Frame(100, Record(1)), Frame(101, Record(2)),
          Frame(102, Record(3))}},
        {"every byte value and empty values",
         {Value(1, everyByte), Value(2, ""), Value(5, zero), Value(9, ""), Value(32767, "")}},
        {"tags of one, two and three bytes",
         {Value(15, "a"), Value(16, "b"), Value(2047, "c"), Value(2048, "d"), Value(32767, "e")}},
        {"lengths of one, two and three bytes",
         {Value(1, Pattern(127)), Value(2, Pattern(128)), Value(3, Pattern(16383)),
          Value(4, Pattern(16384)), Value(5, Pattern(70000))}},
        {"no fields", {}},
    };
}

// The fields a reader must see: ascending, the last value of a repeated index.
std::map<qint16, const Field*> Expected(const Message& message) {
    std::map<qint16, const Field*> fields;
    for (const Field& f : message.fields) {
        fields[f.index] = &f;
    }
    return fields;
}

QJsonArray ToJson(const Message& message) {
    QJsonArray fields;
    for (const Field& f : message.fields) {
        fields.append(QJsonArray{int(f.index), QString::fromLatin1(f.value.toHex())});
    }
    return fields;
}

// Runs the peer; without python3-protobuf (scripts/setup.sh installs it)
// that is a failure, never a silent pass.
QByteArray RunPeer(const char* mode, const QByteArray& input) {
    QProcess peer;
    peer.start(kPython, {kPeer, QString::fromLatin1(mode)});
    peer.write(input);
    peer.closeWriteChannel();
    const bool finished = peer.waitForFinished(60000);
    EXPECT_TRUE(finished && peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0)
        << peer.errorString().toStdString() << peer.readAllStandardError().toStdString();
    return peer.readAllStandardOutput();
}

// ---- the tests ----

TEST(CodecProtobuf, OurFramesReadTheSameInProtobuf) {
    const std::vector<Message> all = Messages();
    QByteArray stream;
    for (const Message& m : all) {
        stream += FrameOf(m);
    }
    const QList<QByteArray> lines = RunPeer("decode", stream).trimmed().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(all.size()));

    for (size_t k = 0; k < all.size(); ++k) {
        const Message& message = all[k];
        const QJsonArray seen = QJsonDocument::fromJson(lines[static_cast<qsizetype>(k)]).array();
        const auto expected = Expected(message);
        ASSERT_EQ(seen.size(), static_cast<qsizetype>(expected.size())) << message.name;
        qsizetype i = 0;
        for (const auto& [index, f] : expected) {
            const QJsonArray entry = seen[i++].toArray();
            EXPECT_EQ(entry[0].toInt(), index) << message.name;
            EXPECT_EQ(entry[1].toInt(), 2) << message.name << ", wire type of " << index;
            EXPECT_EQ(QByteArray::fromHex(entry[2].toString().toLatin1()), f->value)
                << message.name << ", field " << index;
        }
    }
}

// Reads a frame protobuf wrote as message says.
void ExpectParsedAs(const QByteArray& frame, const Message& message) {
    MessageCodec codec;
    QByteArray rest;
    ASSERT_EQ(codec.Parse(frame, rest), MessageCodec::kDecoded) << message.name;
    EXPECT_TRUE(rest.isEmpty()) << message.name;
    const auto expected = Expected(message);
    EXPECT_EQ(codec.FieldCount(), expected.empty() ? 0 : expected.rbegin()->first) << message.name;
    for (int i = 1; i <= codec.FieldCount(); ++i) {  // an int: 32767 is a valid index
        const auto index = static_cast<qint16>(i);
        const QByteArray value = codec.GetField(index, "absent");
        const auto it = expected.find(index);
        EXPECT_EQ(value, it == expected.end() ? "absent" : it->second->value)
            << message.name << ", field " << index;
    }
}

TEST(CodecProtobuf, ProtobufFramesReadTheSameHere) {
    std::vector<Message> messages = Messages();
    messages.push_back({"an index repeated, fields out of order",
                        {Value(5, "first"), Value(1, "0002"), Value(5, "last")},
                        true});
    QJsonArray json;
    for (const Message& m : messages) {
        json.append(ToJson(m));
    }
    // Drained in place, as the socket reader does; another holder of the
    // buffer's array keeps its bytes.
    QByteArray buffer = RunPeer("encode", QJsonDocument(json).toJson(QJsonDocument::Compact));
    const QByteArray holder = buffer;
    const QByteArray original(holder.constData(), holder.size());
    for (const Message& message : messages) {
        const qsizetype before = buffer.size();
        MessageCodec codec;
        QByteArray frame = buffer;
        ASSERT_EQ(codec.Parse(buffer, buffer), MessageCodec::kDecoded) << message.name;
        frame.truncate(before - buffer.size());
        ExpectParsedAs(frame, message);
        if (!message.repeatsAnIndex) {
            // protobuf writes fields in ascending order too: the same bytes.
            EXPECT_EQ(frame, FrameOf(message)) << message.name;
        }
    }
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(holder, original);
}

}  // namespace
}  // namespace mereval::session
