# Texts that are not PDB: compressed in a format that is not read (status 1,
# nothing on standard output, no output file), or with no atom record at all
# (a note asks whether it is PDB text; the report as ever).
cp "$REPO/tests/data/worked.pdb" in.pdb
for f in "xz fd377a585a00" "bzip2 425a6839" "zstd 28b52ffd" "zip 504b0304" "lz4 04224d18"; do
  set -- $f
  { printf "$(echo "$2" | sed 's/../\\x&/g')"; cat in.pdb; } > "in.$1"
  "$BIN" "in.$1"; echo "$1: status $?"
  "$BIN" -r "in.$1" out.pdb; echo "$1 -r: status $?"
  "$BIN" /dev/stdin < "in.$1"; echo "$1 from standard input: status $?"
  rm -f "in.$1"
done
printf 'element,x,y,z\nO,0.0,0.0,0.0\nH,0.76,0.59,0.0\nH,-0.76,0.59,0.0\n' > water.csv
"$BIN" water.csv | sed -n 4p; echo "csv: status $?"
printf '>crambin\nTTCCPSIVARSNFNVCRLPGTPEAICATYTGCIIIPGATCPGDYAN\n' | "$BIN" /dev/stdin | sed -n 4p
rm -f water.csv
