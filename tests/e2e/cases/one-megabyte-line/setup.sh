{ printf 'REMARK '; head -c 1048576 /dev/zero | tr '\0' 'x'; printf '\n'; cat "$REPO/tests/data/worked.pdb"; } > in.pdb
