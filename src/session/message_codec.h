#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

namespace mereval::session {

// A message of numbered byte fields in the protobuf wire format: every field
// is length-delimited ((index << 3) | 2, length, bytes) and a frame is the
// varint body length followed by the body. Any protobuf library can read and
// write it; docs/protocol.md describes it for the other side.
//
// One instance serves one build or one decode; Clear() resets it.
class MessageCodec {
public:
    // Parse results.
    static constexpr qint16 kDecoded = 0;
    static constexpr qint16 kIncomplete = 1;  // rest = all of the input
    static constexpr qint16 kMalformed = 2;   // the frame was consumed and dropped
    static constexpr qint16 kBadPrefix = 3;   // the input was discarded

    static constexpr qint16 kMaxIndex = 32767;
    // The largest report (32,668 records) that the simulator makes is a frame
    // of 2.7 MiB; this leaves room for records six times as long. A frame
    // announcing a longer body is malformed and, since its body is never
    // kept, all of the input is discarded with it.
    static constexpr qint64 kMaxBodySize = 16 * 1024 * 1024;

    void Clear();

    // The value of field index, or defaultValue when the message has none.
    QByteArray GetField(qint16 index, const QByteArray& defaultValue) const;

    // Decodes one frame from the front of data into this instance and sets
    // rest to what follows it. data and rest may be the same object: that is
    // the cheap way to drain a receive buffer, because the consumed bytes are
    // then dropped from the front without copying what remains.
    qint16 Parse(const QByteArray& data, QByteArray& rest);

    // Returns false (and changes nothing) for an index outside 1..32767.
    bool SetField(qint16 index, const QByteArray& value);

    // The frame of the fields set, in ascending index order. The two flags
    // carry no meaning on this wire and are accepted for the interface's sake.
    QByteArray Build(bool flagA = true, bool flagB = true) const;

    // The highest index present, 0 for an empty message.
    qint16 FieldCount() const;

private:
    struct Field {
        bool present = false;
        QByteArray value;
    };
    // Slot i holds field i. Slot 0, never a field, keeps the bytes of a parsed
    // body, into which the parsed values point (see Parse).
    std::vector<Field> fields_;
};

}  // namespace mereval::session
