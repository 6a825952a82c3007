#!/usr/bin/python3
"""The codec's counterpart done with google.protobuf. A frame is a varint body
length and a protobuf body whose fields are all length-delimited.

  protobuf_peer.py decode < frames
      one JSON line per frame: [[index, wire type, value in hex], ...]
  protobuf_peer.py encode < JSON list of messages, each [[index, value in hex], ...]
      the frames, back to back
"""

import json
import sys

from google.protobuf import descriptor_pb2, descriptor_pool, empty_pb2, message_factory
from google.protobuf.internal import decoder, encoder

FIELD = descriptor_pb2.FieldDescriptorProto


def decode(data):
    pos = 0
    while pos < len(data):
        length, pos = decoder._DecodeVarint(data, pos)
        # A type without fields keeps every field as protobuf's parser read it.
        message = empty_pb2.Empty()
        message.ParseFromString(data[pos:pos + length])
        pos += length
        fields = [[f.field_number, f.wire_type, bytes(f.data).hex()]
                  for f in message.UnknownFields()]
        sys.stdout.write(json.dumps(fields) + "\n")


def encode(messages):
    file = descriptor_pb2.FileDescriptorProto(name="peer.proto", package="peer")
    message_type = file.message_type.add(name="M")
    for index in sorted({index for fields in messages for index, _ in fields}):
        message_type.field.add(name="f%d" % index, number=index, type=FIELD.TYPE_BYTES,
                               label=FIELD.LABEL_REPEATED)
    pool = descriptor_pool.DescriptorPool()
    pool.Add(file)
    prototype = message_factory.MessageFactory(pool).GetPrototype(
        pool.FindMessageTypeByName("peer.M"))
    for fields in messages:
        message = prototype()
        for index, value in fields:
            getattr(message, "f%d" % index).append(bytes.fromhex(value))
        body = message.SerializeToString()
        sys.stdout.buffer.write(encoder._VarintBytes(len(body)) + body)


if __name__ == "__main__":
    if sys.argv[1:] == ["decode"]:
        decode(sys.stdin.buffer.read())
    elif sys.argv[1:] == ["encode"]:
        encode(json.load(sys.stdin))
    else:
        raise SystemExit(__doc__)
