# Closed standard descriptors are never taken by the input or the output: with
# standard input closed the run is as usual; with standard output closed too
# the report cannot be written (status 1) and the output file is removed, so
# the report never lands in it.
"$BIN" -r in.pdb kept.pdb 0<&- >/dev/null; echo "input closed: status $?, $(head -c 4 kept.pdb)"
"$BIN" -r in.pdb out.pdb 0<&- 1>&-; echo "input and output closed: status $?"
"$BIN" -r in.pdb out.pdb 2>&- >/dev/null; echo "error closed: status $?, $(head -c 4 out.pdb)"
rm -f out.pdb kept.pdb
