# --help and --version as the first argument: standard output, status 0, the
# other arguments ignored; an unknown long option is a usage stop that names it.
"$BIN" --help; echo "status $?"
"$BIN" --version in.pdb out.pdb; echo "status $?"
"$BIN" --verbose in.pdb out.pdb; echo "status $?"
