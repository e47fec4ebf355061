{ awk 'BEGIN { for (i = 1; i <= 200000; i++) printf "REMARK %d\n", i }'; cat "$REPO/tests/data/worked.pdb"; } > in.pdb
