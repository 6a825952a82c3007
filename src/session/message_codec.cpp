#include "session/message_codec.h"

#include <algorithm>
#include <cstring>

namespace mereval::session {
namespace {

constexpr int kMaxVarintBytes = 10;
constexpr quint32 kLengthDelimited = 2;

enum class VarintResult { Ok, NeedMore, Bad };

// Reads a varint of at most ten bytes starting at *pos.
VarintResult ReadVarintSlow(const char* data, qint64 size, qint64* pos, quint64* value) {
    quint64 result = 0;
    for (int i = 0; i < kMaxVarintBytes; ++i) {
        if (*pos + i >= size) {
            return VarintResult::NeedMore;
        }
        const auto byte = static_cast<quint8>(data[*pos + i]);
        if (i == kMaxVarintBytes - 1 && byte > 1) {
            return VarintResult::Bad;  // more than 64 bits
        }
        result |= quint64(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0) {
            *pos += i + 1;
            *value = result;
            return VarintResult::Ok;
        }
    }
    return VarintResult::Bad;
}

// Tags and lengths of one or two bytes (indices below 2048, values below
// 16 KiB) are nearly all there is; this inlined path reads them and leaves
// the rest to the loop.
inline VarintResult ReadVarint(const char* data, qint64 size, qint64* pos, quint64* value) {
    const qint64 at = *pos;
    if (at < size) {
        const auto first = static_cast<quint8>(data[at]);
        if (first < 0x80) {
            *value = first;
            *pos = at + 1;
            return VarintResult::Ok;
        }
        if (at + 1 < size) {
            const auto second = static_cast<quint8>(data[at + 1]);
            if (second < 0x80) {
                *value = quint64(first & 0x7F) | quint64(second) << 7;
                *pos = at + 2;
                return VarintResult::Ok;
            }
        }
    }
    return ReadVarintSlow(data, size, pos, value);
}

// Walking a body is a chain of dependent loads: each header is found only
// through the length before it. Touching the bytes a little further on lets
// the processor fetch them, and their page mapping, in the meantime.
inline void PrefetchAhead(const char* data, qint64 pos, qint64 end) {
    constexpr qint64 kAhead = 4096;
    if (pos + kAhead < end) {
        __builtin_prefetch(data + pos + kAhead);
    }
}

int VarintSize(quint64 value) {
    int size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

char* WriteVarint(char* out, quint64 value) {
    while (value >= 0x80) {
        *out++ = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<char>(value);
    return out;
}

// The slot of field index, grown on demand. Growth is geometric and starts at
// 16 slots, so a message set or parsed field by field resizes a few times
// rather than once per field; slots past the highest index stay absent,
// which every reader already allows for.
template <typename Table>
auto& SlotFor(Table& table, size_t index) {
    constexpr size_t kMinSlots = 16;
    constexpr size_t kMaxSlots = size_t(MessageCodec::kMaxIndex) + 1;
    if (index >= table.size()) {
        table.resize(std::max({index + 1, kMinSlots, std::min(table.size() * 2, kMaxSlots)}));
    }
    return table[index];
}

// Whether value points into the body copy in slot 0 (see Parse); such a view
// must be copied before it leaves the instance, which may drop the body.
template <typename Table>
bool IsView(const Table& table, const QByteArray& value) {
    if (table.empty() || value.isEmpty()) {
        return false;
    }
    const QByteArray& body = table[0].value;
    const auto begin = reinterpret_cast<quintptr>(body.constData());
    const auto at = reinterpret_cast<quintptr>(value.constData());
    return at >= begin && at < begin + quintptr(body.size());
}

// Sets rest to what follows the first frameEnd bytes of data. A front that
// is not all of it is dropped in place, without copying what remains; all of
// it is let go instead, since the array may now be shared with the body.
void DropFront(const QByteArray& data, QByteArray& rest, qint64 frameEnd) {
    if (&rest == &data && frameEnd < data.size()) {
        rest.remove(0, frameEnd);
    } else {
        rest = data.sliced(frameEnd);
    }
}

}  // namespace

void MessageCodec::Clear() {
    fields_.clear();
}

QByteArray MessageCodec::GetField(qint16 index, const QByteArray& defaultValue) const {
    if (index <= 0 || static_cast<size_t>(index) >= fields_.size() || !fields_[index].present) {
        return defaultValue;
    }
    const QByteArray& value = fields_[index].value;
    if (IsView(fields_, value)) {
        return QByteArray(value.constData(), value.size());
    }
    return value;
}

bool MessageCodec::SetField(qint16 index, const QByteArray& value) {
    if (index <= 0) {
        return false;
    }
    Field& field = SlotFor(fields_, static_cast<size_t>(index));
    field.present = true;
    field.value = value;
    return true;
}

qint16 MessageCodec::FieldCount() const {
    for (size_t i = fields_.size(); i-- > 1;) {
        if (fields_[i].present) {
            return static_cast<qint16>(i);
        }
    }
    return 0;
}

QByteArray MessageCodec::Build(bool, bool) const {
    qint64 bodySize = 0;
    for (size_t i = 1; i < fields_.size(); ++i) {
        if (fields_[i].present) {
            const qint64 length = fields_[i].value.size();
            bodySize += VarintSize((quint64(i) << 3) | kLengthDelimited) +
                        VarintSize(quint64(length)) + length;
        }
    }
    QByteArray frame(VarintSize(quint64(bodySize)) + bodySize, Qt::Uninitialized);
    char* out = WriteVarint(frame.data(), quint64(bodySize));
    for (size_t i = 1; i < fields_.size(); ++i) {
        if (fields_[i].present) {
            const QByteArray& value = fields_[i].value;
            out = WriteVarint(out, (quint64(i) << 3) | kLengthDelimited);
            out = WriteVarint(out, quint64(value.size()));
            if (!value.isEmpty()) {
                std::memcpy(out, value.constData(), static_cast<size_t>(value.size()));
                out += value.size();
            }
        }
    }
    return frame;
}

qint16 MessageCodec::Parse(const QByteArray& data, QByteArray& rest) {
    Clear();
    const char* bytes = data.constData();
    const qint64 size = data.size();

    qint64 pos = 0;
    quint64 bodySize = 0;
    switch (ReadVarint(bytes, size, &pos, &bodySize)) {
        case VarintResult::NeedMore:
            if (&rest != &data) {
                rest = data;
            }
            return kIncomplete;
        case VarintResult::Bad:
            rest.clear();
            return kBadPrefix;
        case VarintResult::Ok:
            break;
    }
    if (bodySize > quint64(kMaxBodySize)) {
        rest.clear();
        return kMalformed;
    }
    const qint64 frameEnd = pos + qint64(bodySize);
    if (frameEnd > size) {
        if (&rest != &data) {
            rest = data;
        } else if (rest.isDetached()) {
            // A receive buffer drained in place is sized once for the frame
            // it awaits, so the pieces still to come never move what arrived.
            rest.reserve(frameEnd);
        }
        return kIncomplete;
    }

    // Parsed values are views into one copy of the body kept in slot 0, which
    // no field uses: one allocation per message instead of one per field. When
    // data is exactly this frame and owned by data alone (a drained receive
    // buffer, a nested frame just read from a field) the copy is its array,
    // shared rather than copied.
    const qint64 bodyStart = pos;
    const qint64 length = frameEnd - bodyStart;
    if (length == 0) {
        DropFront(data, rest, frameEnd);
        return kDecoded;
    }
    fields_.resize(1);
    QByteArray& body = fields_[0].value;
    qint64 start = 0;  // of the body's bytes within body
    if (frameEnd == size && data.isDetached()) {
        body = data;
        start = bodyStart;
    } else {
        body = QByteArray(bytes + bodyStart, length);
    }
    DropFront(data, rest, frameEnd);

    const char* source = body.constData() + start;
    for (pos = 0; pos < length;) {
        PrefetchAhead(source, pos, length);
        quint64 tag = 0;
        quint64 valueSize = 0;
        if (ReadVarint(source, length, &pos, &tag) != VarintResult::Ok ||
            (tag & 7) != kLengthDelimited || (tag >> 3) == 0 || (tag >> 3) > quint64(kMaxIndex) ||
            ReadVarint(source, length, &pos, &valueSize) != VarintResult::Ok ||
            valueSize > quint64(length - pos)) {
            Clear();
            return kMalformed;
        }
        Field& field = SlotFor(fields_, static_cast<size_t>(tag >> 3));
        field.present = true;
        // An empty value stays an ordinary empty array; it needs no view.
        field.value = valueSize == 0 ? QByteArray(source + pos, 0)
                                     : QByteArray::fromRawData(source + pos, qint64(valueSize));
        pos += qint64(valueSize);
    }
    return kDecoded;
}

}  // namespace mereval::session
