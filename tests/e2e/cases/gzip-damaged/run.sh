# Each kind of damage stops the run: the reason on standard error, status 1,
# nothing on standard output, no output file; as a regular file and through a
# pipe alike.
gzip -n -c in.pdb > good.gz
size=$(stat -c %s good.gz)
patch() { cp good.gz "$1"; printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null; }
head -c $((size - 5)) good.gz > cut-short.gz
patch crc-mismatch.gz $((size - 8)) '\x00\x00\x00\x00'
patch length-mismatch.gz $((size - 4)) '\x07\x00\x00\x00'
patch bad-method.gz 2 '\x07'
patch bad-block.gz 10 '\xff\xff\xff'
{ cat good.gz; echo "not a member"; } > trailing.gz
for f in cut-short crc-mismatch length-mismatch bad-method bad-block trailing; do
  "$BIN" -r "$f.gz" out.pdb > stdout.txt
  echo "$f: status $?, $(wc -c < stdout.txt) bytes on stdout, $([ -e out.pdb ] && echo 'out.pdb left' || echo 'no out.pdb')"
  cat "$f.gz" | "$BIN" -r /dev/stdin out.pdb > stdout.txt
  echo "$f piped: status $?, $(wc -c < stdout.txt) bytes on stdout, $([ -e out.pdb ] && echo 'out.pdb left' || echo 'no out.pdb')"
  rm -f out.pdb
done
