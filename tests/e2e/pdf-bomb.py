#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Hostile PDFs for the end-to-end checks, built on the spot.

    pdf-bomb.py inflating OUT MB   one page whose content stream is a small flate stream that
                                   inflates to MB megabytes of drawing operators
    pdf-bomb.py pages OUT COUNT    COUNT pages sharing one small content stream"""
import sys
import zlib


def write_pdf(path, objects):
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    with open(path, "wb") as pdf:
        pdf.write(out)


def inflating(path, megabytes):
    # Tiny strokes, each an object of its own in the reader; the block repeats within deflate's
    # window, so it compresses about a hundredfold.
    chunk = b"".join(b"%d %d m %d %d l S\n" % (i % 97, i % 89, i % 83 + 1, i % 79 + 1)
                     for i in range(1024))
    compressor = zlib.compressobj(9)
    data = bytearray()
    written = 0
    while written < megabytes * 1024 * 1024:
        data += compressor.compress(chunk)
        written += len(chunk)
    data += compressor.flush()
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(data) + bytes(data)
        + b"\nendstream",
    ]
    write_pdf(path, objects)


def pages(path, count):
    text = b"BT /F1 24 Tf 72 700 Td (A page of a very long document) Tj ET\n"
    kids = b" ".join(b"%d 0 R" % (5 + i) for i in range(count))
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [" + kids + b"] /Count %d >>" % count,
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        b"<< /Length %d >>\nstream\n" % len(text) + text + b"endstream",
    ]
    objects += [b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                b"/Resources << /Font << /F1 3 0 R >> >> /Contents 4 0 R >>"] * count
    write_pdf(path, objects)


if __name__ == "__main__":
    kind, out, amount = sys.argv[1], sys.argv[2], int(sys.argv[3])
    {"inflating": inflating, "pages": pages}[kind](out, amount)
