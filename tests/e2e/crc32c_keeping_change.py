"""Writes a copy of a PDB file with coordinate digits changed so that the
CRC-32C of the whole file stays the same: a change that a linear checksum
cannot see. The last digit of x in atom records is flipped between 0/1, 2/3,
... 8/9 (0.001 A), for a set of records whose CRC differences cancel, found by
Gaussian elimination over GF(2). Usage: crc32c_keeping_change.py IN OUT"""
import sys

POLY = 0x82F63B78
TABLE = []
for n in range(256):
    c = n
    for _ in range(8):
        c = (c >> 1) ^ (POLY if c & 1 else 0)
    TABLE.append(c)


def crc32c(data):
    c = 0xFFFFFFFF
    for b in data:
        c = TABLE[(c ^ b) & 0xFF] ^ (c >> 8)
    return c ^ 0xFFFFFFFF


text = bytearray(open(sys.argv[1], "rb").read())
positions, start = [], 0
for line in text.split(b"\n"):
    if line.startswith((b"ATOM  ", b"HETATM")) and len(line) >= 38 and line[37:38].isdigit():
        positions.append(start + 37)
    start += len(line) + 1
zero = crc32c(bytes(len(text)))
# The CRC difference each flip makes (CRC is affine: crc(m ^ d) = crc(m) ^ crc(d) ^ crc(0)).
basis = {}  # leading bit -> (vector, set of flips)
for p in positions[:64]:
    delta = bytearray(len(text))
    delta[p] = 1
    vector, flips = crc32c(delta) ^ zero, {p}
    while vector:
        top = vector.bit_length() - 1
        if top not in basis:
            basis[top] = (vector, flips)
            break
        vector ^= basis[top][0]
        flips = flips ^ basis[top][1]
    if not vector:
        break
else:
    sys.exit("no cancelling set of flips found")
before = crc32c(text)
for p in flips:
    text[p] ^= 1
assert crc32c(text) == before and len(flips) > 1
open(sys.argv[2], "wb").write(text)
