#include "session/message_codec.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace mereval::session {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int v : values) {
        bytes.append(static_cast<char>(v));
    }
    return bytes;
}

QByteArray BuildOf(std::initializer_list<std::pair<qint16, QByteArray>> fields) {
    MessageCodec codec;
    for (const auto& [index, value] : fields) {
        codec.SetField(index, value);
    }
    return codec.Build(true, true);
}

TEST(MessageCodec, RoundTripKeepsEveryByteAndEmptyFields) {
    QByteArray allBytes;
    for (int b = 0; b < 256; ++b) {
        allBytes.append(static_cast<char>(b));
    }
    MessageCodec codec;
    QByteArray rest = "tail";
    ASSERT_EQ(codec.Parse(BuildOf({{1, allBytes}, {7, ""}, {32767, "x"}}) + "tail", rest),
              MessageCodec::kDecoded);
    EXPECT_EQ(rest, "tail");
    EXPECT_EQ(codec.GetField(1, "d"), allBytes);
    EXPECT_EQ(codec.GetField(7, "d"), "");
    EXPECT_EQ(codec.GetField(2, "**"), "**");
    EXPECT_EQ(codec.GetField(0, "**"), "**");
    EXPECT_EQ(codec.GetField(-5, "**"), "**");
    EXPECT_EQ(codec.FieldCount(), 32767);
}

TEST(MessageCodec, FieldCountIsHighestIndexAndEmptyMessageParses) {
    MessageCodec codec;
    EXPECT_EQ(codec.FieldCount(), 0);
    EXPECT_FALSE(codec.SetField(0, "x"));
    EXPECT_FALSE(codec.SetField(-1, "x"));
    QByteArray rest;
    ASSERT_EQ(codec.Parse(Bytes({0}), rest), MessageCodec::kDecoded);
    EXPECT_EQ(codec.FieldCount(), 0);
    EXPECT_TRUE(rest.isEmpty());
    ASSERT_EQ(codec.Parse(BuildOf({{2, "a"}, {9, "b"}}), rest), MessageCodec::kDecoded);
    EXPECT_EQ(codec.FieldCount(), 9);
}

TEST(MessageCodec, IncompleteInputIsKeptWholeUntilTheRestArrives) {
    const QByteArray frame = BuildOf({{1, "0002"}, {5, QByteArray(300, 'z')}});
    MessageCodec codec;
    for (qsizetype cut = 0; cut < frame.size(); ++cut) {
        QByteArray rest = "stale";
        ASSERT_EQ(codec.Parse(frame.left(cut), rest), MessageCodec::kIncomplete) << cut;
        EXPECT_EQ(rest, frame.left(cut));
    }
    QByteArray rest;
    EXPECT_EQ(codec.Parse(frame, rest), MessageCodec::kDecoded);
    EXPECT_EQ(codec.GetField(5, "").size(), 300);
}

struct MalformedCase {
    const char* name;
    QByteArray body;
};

TEST(MessageCodec, MalformedBodyIsConsumedAndDropped) {
    const MalformedCase cases[] = {
        {"varint wire type", Bytes({0x08, 0x01})},
        {"fixed64 wire type", Bytes({0x09, 1, 2, 3, 4, 5, 6, 7, 8})},
        {"index 0", Bytes({0x02, 0x01, 'a'})},
        {"index 32768", Bytes({0x82, 0x80, 0x10, 0x01, 'a'})},
        {"field past the frame", Bytes({0x0A, 0x05, 'a'})},
        {"tag cut by the frame end", Bytes({0x0A, 0x01, 'a', 0x82})},
        {"length cut by the frame end", Bytes({0x0A})},
    };
    for (const auto& c : cases) {
        MessageCodec codec;
        codec.SetField(4, "old");
        QByteArray buffer =
            Bytes({static_cast<int>(c.body.size())}) + c.body + BuildOf({{1, "0002"}});
        EXPECT_EQ(codec.Parse(buffer, buffer), MessageCodec::kMalformed) << c.name;
        EXPECT_EQ(codec.FieldCount(), 0) << c.name;
        ASSERT_EQ(codec.Parse(buffer, buffer), MessageCodec::kDecoded) << c.name;
        EXPECT_EQ(codec.GetField(1, ""), "0002") << c.name;
        EXPECT_TRUE(buffer.isEmpty()) << c.name;
    }
}

// A body over 16 MiB is refused as soon as its prefix is in, and since it is
// never kept, the input goes with it; exactly 16 MiB is merely incomplete.
TEST(MessageCodec, OverlongOrOversizedPrefixDiscardsTheInput) {
    const std::pair<QByteArray, qint16> cases[] = {
        {Bytes({0x80, 0xC8, 0xAF, 0xA0, 0x25}), MessageCodec::kMalformed},  // 10 GB
        {Bytes({0x81, 0x80, 0x80, 0x08}), MessageCodec::kMalformed},        // 16 MiB + 1
        {QByteArray(11, '\xFF'), MessageCodec::kBadPrefix},
        {Bytes({0x80, 0x80, 0x80, 0x08}), MessageCodec::kIncomplete},
    };
    for (const auto& [prefix, status] : cases) {
        MessageCodec codec;
        QByteArray buffer = prefix + "some bytes";
        EXPECT_EQ(codec.Parse(buffer, buffer), status) << prefix.toHex().toStdString();
        EXPECT_EQ(buffer.isEmpty(), status != MessageCodec::kIncomplete);
    }
}

// Parsed values may share storage with the input or with each other; none of
// that may show through what GetField hands out.
TEST(MessageCodec, ValuesStayIntactWhateverHappensToInputAndInstance) {
    const QByteArray frame = BuildOf({{1, "0012"}, {5, "status"}, {12, QByteArray(40, 'r')}});

    // The input is changed after parsing, through the caller's own object.
    QByteArray input = frame;
    input.detach();
    MessageCodec codec;
    QByteArray rest;
    ASSERT_EQ(codec.Parse(input, rest), MessageCodec::kDecoded);
    input.fill('X');
    EXPECT_EQ(codec.GetField(5, ""), "status");

    // The input is memory that the caller owns and reuses.
    char scratch[64];
    std::memcpy(scratch, frame.constData(), static_cast<size_t>(frame.size()));
    ASSERT_EQ(codec.Parse(QByteArray::fromRawData(scratch, frame.size()), rest),
              MessageCodec::kDecoded);
    std::memset(scratch, 'X', sizeof scratch);
    EXPECT_EQ(codec.GetField(12, ""), QByteArray(40, 'r'));

    // A value read out outlives every instance; a copy of an instance
    // outlives the original.
    QByteArray buffer = frame;
    QByteArray status;
    MessageCodec copy;
    {
        MessageCodec original;
        ASSERT_EQ(original.Parse(buffer, buffer), MessageCodec::kDecoded);
        status = original.GetField(5, "");
        copy = original;
    }
    buffer.append(QByteArray(frame.size(), 'X'));
    EXPECT_EQ(copy.GetField(1, ""), "0012");
    QByteArray edited = copy.GetField(5, "");
    edited[0] = 'S';
    EXPECT_EQ(copy.GetField(5, ""), "status");
    copy.Clear();
    EXPECT_EQ(status, "status");
}

TEST(MessageCodec, ParsedMessageCanBeChangedAndRebuilt) {
    const QByteArray frame = BuildOf({{1, "0001"}, {4, ""}, {5, "card"}, {300, "far"}});
    MessageCodec codec;
    QByteArray rest;
    ASSERT_EQ(codec.Parse(frame, rest), MessageCodec::kDecoded);
    EXPECT_FALSE(codec.GetField(4, "d").isNull());
    EXPECT_EQ(codec.GetField(4, "d"), "");
    EXPECT_EQ(codec.Build(true, true), frame);
    codec.SetField(5, "other");
    codec.SetField(2000, "new");  // grows the instance past what was parsed
    EXPECT_EQ(codec.Build(true, true),
              BuildOf({{1, "0001"}, {4, ""}, {5, "other"}, {300, "far"}, {2000, "new"}}));
    EXPECT_EQ(codec.FieldCount(), 2000);
}

// A socket reader appends what arrives and drains the buffer in place.
TEST(MessageCodec, ReceiveBufferFilledInPiecesHoldsExactlyWhatArrived) {
    QByteArray big;
    for (int i = 0; i < 300; ++i) {
        big += QByteArray::number(i).rightJustified(5, '0');
    }
    const QByteArray stream =
        BuildOf({{1, "0020"}, {100, big}, {101, big}}) + BuildOf({{1, "0023"}});
    QByteArray buffer;
    QByteArray arrived;
    MessageCodec codec;
    QStringList codes;
    for (qsizetype at = 0; at < stream.size(); at += 7) {
        buffer.append(stream.mid(at, 7));
        arrived.append(stream.mid(at, 7));
        qint16 status;
        while ((status = codec.Parse(buffer, buffer)) == MessageCodec::kDecoded) {
            codes << QString::fromLatin1(codec.GetField(1, ""));
            arrived.remove(0, arrived.size() - buffer.size());
            if (codes.size() == 1) {
                EXPECT_EQ(codec.GetField(101, ""), big);
            }
        }
        ASSERT_EQ(status, MessageCodec::kIncomplete);
        ASSERT_EQ(buffer, arrived) << at;
    }
    EXPECT_EQ(codes, QStringList({QStringLiteral("0020"), QStringLiteral("0023")}));
    EXPECT_TRUE(buffer.isEmpty());

    // A second holder of the buffer's array keeps its bytes.
    buffer = stream;
    const QByteArray holder = buffer;
    ASSERT_EQ(codec.Parse(buffer, buffer), MessageCodec::kDecoded);
    EXPECT_EQ(holder, stream);
    EXPECT_EQ(buffer, BuildOf({{1, "0023"}}));
}

}  // namespace
}  // namespace mereval::session
