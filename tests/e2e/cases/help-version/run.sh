# --help and --version as the first argument: standard output, status 0, the
# other arguments ignored; another argument starting with "--" is a flag error.
"$BIN" --help; echo "status $?"
"$BIN" --version in.pdb out.pdb; echo "status $?"
"$BIN" --verbose in.pdb out.pdb; echo "status $?"
