# 100 MB through a pipe with -r under a 24 MB address-space limit: the pipe's
# bytes are kept for the second reading in an unlinked file in $TMPDIR, not in
# memory. The same limit on a file of that size gives the same result.
export TMPDIR=$PWD
{ cat "$REPO/tests/data/1npc.pdb"; yes 'REMARK 999 A LONG TAIL OF REMARKS' | head -c 100000000; } > big.pdb
(ulimit -v 24000; cat big.pdb | "$BIN" -r /dev/stdin piped.pdb > /dev/null; echo "piped: status $?")
(ulimit -v 24000; "$BIN" -r big.pdb out.pdb > /dev/null; echo "file: status $?")
cmp -s piped.pdb out.pdb && echo "the same output"
echo "files left in TMPDIR: $(ls | grep -vc -e '^big.pdb$' -e '^piped.pdb$' -e '^out.pdb$')"
rm -f big.pdb piped.pdb out.pdb
