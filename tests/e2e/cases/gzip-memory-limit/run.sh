# A gzipped 64 000-atom file runs within the memory its bytes need through a
# pipe, as a regular file too: the fast whole-file decompression gives way to
# the stream when memory is short.
awk 'BEGIN { for (i = 1; i <= 64000; i++) printf "ATOM  %5d  O   HOH A%4d    %8.3f%8.3f%8.3f  1.00  0.00\n", i, i % 10000, (i % 40) * 1.5, int(i / 40) % 40 * 1.5, int(i / 1600) * 1.5 }' | gzip > big.pdb.gz
# (The limit leaves some 200 KiB for the binary's own growth; the whole-file
# decompression needs some 5 MiB more.)
ulimit -v 8800
"$BIN" big.pdb.gz | sed -n 3p; echo "file: status ${PIPESTATUS[0]}"
"$BIN" /dev/stdin < big.pdb.gz | sed -n 3p; echo "pipe: status ${PIPESTATUS[0]}"
rm -f big.pdb.gz
