# A gzip member with a header checksum (FHCRC): a right one is read, a wrong
# one is damage, from a file and from a pipe alike (nothing on standard
# output, no output file).
python3 - <<'PY'
import struct, zlib
data = open("in.pdb", "rb").read()
for name, wrong in (("right.pdb.gz", 0), ("wrong.pdb.gz", 0x1234)):
    head = b"\x1f\x8b\x08\x02" + b"\0\0\0\0" + b"\0\xff"
    crc = (zlib.crc32(head) & 0xFFFF) ^ wrong
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    body = c.compress(data) + c.flush()
    open(name, "wb").write(head + struct.pack("<H", crc) + body +
                           struct.pack("<II", zlib.crc32(data), len(data)))
PY
for f in right wrong; do
  "$BIN" "$f.pdb.gz" | sed -n 3p; echo "$f, file: status ${PIPESTATUS[0]}"
  "$BIN" /dev/stdin < "$f.pdb.gz" | sed -n 3p; echo "$f, pipe: status ${PIPESTATUS[0]}"
  cat "$f.pdb.gz" | "$BIN" -r /dev/stdin out.pdb | sed -n 3p
  echo "$f, pipe -r: status ${PIPESTATUS[1]}, $([ -e out.pdb ] && echo "output" || echo "no output")"
  rm -f out.pdb
done
rm -f right.pdb.gz wrong.pdb.gz
