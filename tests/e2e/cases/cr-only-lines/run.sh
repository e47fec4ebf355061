# Lines ended by carriage returns alone read as one line; a note says so.
tr '\n' '\r' < "$REPO/tests/data/worked.pdb" > cr.pdb
"$BIN" cr.pdb | sed -n 3p
# A CRLF file has no such note.
sed 's/$/\r/' "$REPO/tests/data/worked.pdb" > crlf.pdb
"$BIN" crlf.pdb | sed -n 3p
rm -f cr.pdb crlf.pdb
