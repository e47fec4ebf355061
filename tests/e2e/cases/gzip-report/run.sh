# A gzip-compressed structure is read as the text it holds, whatever its name.
gzip -n -c in.pdb > crambin.gz
exec "$BIN" crambin.gz
