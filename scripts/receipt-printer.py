#!/usr/bin/python3
"""A raw receipt printer on 127.0.0.1 for scripts/run.sh.

Usage: receipt-printer.py PORT_FILE RECEIPTS_FILE

Listens on a free port and writes its number to PORT_FILE. Every connection
is one print job, as from CUPS's socket backend: its bytes are appended to
RECEIPTS_FILE and shown on standard output, decoded as the printer would.
"""
import os
import socket
import sys

# Receipts are Windows-1257 text, except that the program sends eight
# Estonian letters as the receipt printer's own (IBM PC) codes. Õ and õ share
# one code there, so both come back as õ.
PRINTER_LETTERS = bytes.maketrans(
    b"\x8e\x84\x99\x94\x9a\x81\x93", "ÄäÖöÜüõ".encode("cp1257"))


def receive_job(server):
    connection, _ = server.accept()
    with connection:
        job = bytearray()
        while chunk := connection.recv(65536):
            job += chunk
    return bytes(job)


def main():
    port_file, receipts_file = sys.argv[1:3]
    server = socket.create_server(("127.0.0.1", 0))
    with open(port_file + ".new", "w", encoding="ascii") as out:
        out.write(str(server.getsockname()[1]))
    os.replace(port_file + ".new", port_file)

    count = 0
    while True:
        job = receive_job(server)
        if not job:
            continue
        count += 1
        with open(receipts_file, "ab") as out:
            out.write(job)
        text = job.translate(PRINTER_LETTERS).decode("cp1257", errors="replace")
        text = text.replace("\r\n", "\n").rstrip("\n")
        print(f"----- receipt printer, job {count}, {len(job)} bytes -----")
        print(text, flush=True)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
