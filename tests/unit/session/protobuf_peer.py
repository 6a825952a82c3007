#!/usr/bin/python3
"""The other side of the codec's interop test, done with google.protobuf.

A frame is a varint body length followed by the body, a protobuf message
whose fields are all length-delimited.

  protobuf_peer.py decode < frames back to back
      one JSON line per frame: [[index, wire type, value in hex], ...] in the
      order protobuf's parser met the fields
  protobuf_peer.py encode < JSON list of messages
      the frames, back to back; a message is a list of [index, value in hex]
"""

import json
import sys

from google.protobuf import descriptor_pb2, descriptor_pool, empty_pb2, message_factory
from google.protobuf.internal import decoder, encoder

FIELD = descriptor_pb2.FieldDescriptorProto


def decode(data):
    lines = []
    pos = 0
    while pos < len(data):
        length, pos = decoder._DecodeVarint(data, pos)
        body = data[pos:pos + length]
        if len(body) != length:
            raise SystemExit("frame cut short")
        pos += length
        # A message type without fields: everything lands in its unknown
        # fields, exactly as protobuf's parser read them.
        message = empty_pb2.Empty()
        message.ParseFromString(body)
        lines.append([[f.field_number, f.wire_type, bytes(f.data).hex()]
                      for f in message.UnknownFields()])
    return "".join(json.dumps(line) + "\n" for line in lines)


class Encoder:
    """Builds one message type per field layout, with a bytes field for each
    index (repeated where the index occurs more than once), and lets protobuf
    serialise it."""

    def __init__(self):
        self.pool = descriptor_pool.DescriptorPool()
        self.factory = message_factory.MessageFactory(self.pool)
        self.types = {}

    def message_type(self, layout):
        if layout not in self.types:
            name = "M%d" % len(self.types)
            file = descriptor_pb2.FileDescriptorProto(
                name=name + ".proto", package="peer", syntax="proto2")
            message = file.message_type.add(name=name)
            for index, repeated in layout:
                message.field.add(
                    name="f%d" % index, number=index, type=FIELD.TYPE_BYTES,
                    label=FIELD.LABEL_REPEATED if repeated else FIELD.LABEL_OPTIONAL)
            self.pool.Add(file)
            descriptor = self.pool.FindMessageTypeByName("peer." + name)
            self.types[layout] = self.factory.GetPrototype(descriptor)
        return self.types[layout]

    def frame(self, fields):
        values = {}
        for index, value in fields:
            values.setdefault(index, []).append(bytes.fromhex(value))
        layout = tuple(sorted((index, len(v) > 1) for index, v in values.items()))
        message = self.message_type(layout)()
        for index, repeated in layout:
            if repeated:
                getattr(message, "f%d" % index).extend(values[index])
            else:
                setattr(message, "f%d" % index, values[index][0])
        body = message.SerializeToString()
        return encoder._VarintBytes(len(body)) + body


def main():
    if sys.argv[1:] == ["decode"]:
        sys.stdout.write(decode(sys.stdin.buffer.read()))
    elif sys.argv[1:] == ["encode"]:
        peer = Encoder()
        messages = json.load(sys.stdin)
        sys.stdout.buffer.write(b"".join(peer.frame(m) for m in messages))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
