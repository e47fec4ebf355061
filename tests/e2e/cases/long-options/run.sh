# Long options: each malformed one is a usage stop (status 2, nothing on
# standard output) with a note naming it; "--" ends the options.
cp "$REPO"/tests/data/{models,altloc,elements,serials,worked}.pdb .
for opt in --model=x --model=0 --model --model=+3 --altloc=AB --altloc= "--altloc= " \
    --masses=mass --max-atoms=-1 --max-atoms=99999999999999999999 --bogus --help=yes; do
  "$BIN" "$opt" worked.pdb; echo "status $?"
done
cp worked.pdb ./--x.pdb
"$BIN" --model=1 -- --x.pdb | head -n 2; echo "status $?"
"$BIN" --x.pdb; echo "status $?"
rm -f ./--x.pdb
