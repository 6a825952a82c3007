// MessageCodec against protobuf's own parser and serialiser: the payment
// system may use either on its side.
#include "common/code_page.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

namespace field = catalogue::field;

struct Message {
    const char* name;
    std::vector<std::pair<qint16, QByteArray>> fields;
};

QByteArray FrameOf(const Message& message) {
    MessageCodec codec;
    for (const auto& [index, value] : message.fields) {
        codec.SetField(index, value);
    }
    return codec.Build(true, true);
}

// What a reader must see: ascending indices, the last value of a repeated one.
std::map<qint16, QByteArray> Expected(const Message& message) {
    std::map<qint16, QByteArray> fields;
    for (const auto& [index, value] : message.fields) {
        fields[index] = value;
    }
    return fields;
}

std::vector<Message> Messages() {
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b) {
        everyByte.append(static_cast<char>(b));
    }
    const Message receipts = {"receipts",
                              {{1, common::ToCodePage(u"KAUPLUS Õismäe\r\nSumma: 12,34 €\r\n"_s)}}};
    return {
        {"request",
         {{field::Code, "0001"},
          {field::Session, "000042"},
          {field::Amount, DoubleToBytes(12.34)},
          {field::CardData, ";4761739001010010=25121011000012345678?"},
          {field::Reserved14, catalogue::ByteValue(0)}}},
        {"approval with receipts",
         {{field::Code, "0012"},
          {field::Receipts, FrameOf(receipts)},
          {field::Stan, LongToBytes(7)}}},
        {"every byte and empty values", {{1, everyByte}, {2, ""}, {9, ""}, {32767, ""}}},
        {"tags of 1, 2, 3 bytes", {{15, "a"}, {16, "b"}, {2047, "c"}, {2048, "d"}, {32767, "e"}}},
        {"lengths of 1, 2, 3 bytes",
         {{1, QByteArray(127, 'p')}, {2, QByteArray(128, 'q')}, {3, QByteArray(16384, 'r')}}},
        {"no fields", {}},
    };
}

// Without python3-protobuf (scripts/setup.sh installs it) this fails, never passes.
QByteArray RunPeer(const char* mode, const QByteArray& input) {
    QProcess peer;
    peer.start(u"/usr/bin/python3"_s,
               {QStringLiteral(MEREVAL_PROTOBUF_PEER), QString::fromLatin1(mode)});
    peer.write(input);
    peer.closeWriteChannel();
    EXPECT_TRUE(peer.waitForFinished(60000) && peer.exitCode() == 0)
        << peer.readAllStandardError().toStdString();
    return peer.readAllStandardOutput();
}

TEST(CodecProtobuf, OurFramesReadTheSameInProtobuf) {
    const std::vector<Message> messages = Messages();
    QByteArray stream;
    for (const Message& m : messages) {
        stream += FrameOf(m);
    }
    const QList<QByteArray> lines = RunPeer("decode", stream).trimmed().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(messages.size()));
    for (size_t k = 0; k < messages.size(); ++k) {
        QJsonArray expected;
        for (const auto& [index, value] : Expected(messages[k])) {
            expected.append(QJsonArray{int(index), 2, QString::fromLatin1(value.toHex())});
        }
        EXPECT_EQ(QJsonDocument::fromJson(lines[qsizetype(k)]).array(), expected)
            << messages[k].name;
    }
}

TEST(CodecProtobuf, ProtobufFramesReadTheSameHere) {
    std::vector<Message> messages = Messages();
    messages.push_back({"an index repeated", {{5, "first"}, {1, "0002"}, {5, "last"}}});
    QJsonArray json;
    for (const Message& m : messages) {
        QJsonArray fields;
        for (const auto& [index, value] : m.fields) {
            fields.append(QJsonArray{int(index), QString::fromLatin1(value.toHex())});
        }
        json.append(fields);
    }
    // Drained in place, as the socket reader does; another holder of the
    // buffer's bytes keeps them.
    QByteArray buffer = RunPeer("encode", QJsonDocument(json).toJson(QJsonDocument::Compact));
    const QByteArray holder = buffer;
    const QByteArray original(holder.constData(), holder.size());
    for (const Message& message : messages) {
        MessageCodec codec;
        ASSERT_EQ(codec.Parse(buffer, buffer), MessageCodec::kDecoded) << message.name;
        std::map<qint16, QByteArray> seen;
        for (int i = 1; i <= codec.FieldCount(); ++i) {  // an int: 32767 is a valid index
            const QByteArray value = codec.GetField(static_cast<qint16>(i), "absent");
            if (value != "absent") {
                seen[static_cast<qint16>(i)] = value;
            }
        }
        EXPECT_EQ(seen, Expected(message)) << message.name;
    }
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(holder, original);
}

}  // namespace
}  // namespace mereval::session
