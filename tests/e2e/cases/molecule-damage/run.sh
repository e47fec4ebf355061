# Damaged records. SDF and MOL2 records have explicit ends: the damaged one
# gets its message (with --json its error line, with its model) and the run
# goes on with the next. XYZ and GRO frames are delimited by counts: the
# file stops at the damage, after the reports of the frames before it. Status
# 1 either way, and no output file is left.
sdf_record() {  # title, then atom lines ("x y z symbol"), then an optional last line
  printf '%s\n  gyrotest          3D\n\n%3d  0  0  0  0  0  0  0  0999 V2000\n' "$1" "$2"
  shift 2
  for a in "$@"; do
    set -- $a
    printf '%10s%10s%10s %-3s 0  0  0  0  0  0  0  0  0  0  0  0\n' "$1" "$2" "$3" "$4"
  done
}
good() { sdf_record "$1" 2 "0.0000 0.0000 0.0000 C" "1.5000 0.0000 0.0000 O"; printf 'M  END\n$$$$\n'; }
{ good first
  sdf_record "too few" 3 "0.0000 0.0000 0.0000 C" "1.5000 0.0000 0.0000 O"; printf 'M  END\n$$$$\n'
  good third
  sdf_record "not a number" 2 "0.0000 0.0x00 0.0000 C" "1.5000 0.0000 0.0000 O"; printf 'M  END\n$$$$\n'
  sdf_record "no element" 2 "0.0000 0.0000 0.0000 Xx" "1.5000 0.0000 0.0000 O"; printf 'M  END\n$$$$\n'
  good sixth
  sdf_record "cut short" 2 "0.0000 0.0000 0.0000 C"; } > damaged.sdf
mol2_record() {  # name, declared count, atom lines
  printf '@<TRIPOS>MOLECULE\n%s\n%s 0 0 0 0\nSMALL\nNO_CHARGES\n\n@<TRIPOS>ATOM\n' "$1" "$2"
  shift 2
  for a in "$@"; do printf '%s\n' "$a"; done
  printf '@<TRIPOS>BOND\n'
}
{ mol2_record first 2 "1 C1 0.0 0.0 0.0 C.3 1 LIG 0.0" "2 O1 1.2 0.0 0.0 O.2 1 LIG 0.0"
  mol2_record "count off" 3 "1 C1 0.0 0.0 0.0 C.3" "2 O1 1.2 0.0 0.0 O.2"
  mol2_record "bad type" 2 "1 C1 0.0 0.0 0.0 Qq.3" "2 O1 1.2 0.0 0.0 O.2"
  mol2_record "bad number" 2 "1 C1 0.0 zero 0.0 C.3" "2 O1 1.2 0.0 0.0 O.2"
  mol2_record "short line" 2 "1 C1 0.0 0.0 0.0" "2 O1 1.2 0.0 0.0 O.2"
  mol2_record last 2 "1 N1 0.0 0.0 0.0 N.am" "2 Du 9.0 9.0 9.0 Du"; } > damaged.mol2
one='2\nframe 1\nC 0.0 0.0 0.0\nO 1.2 0.0 0.0\n'
for case in "count:${one}two\nframe 2\n" \
            "short:${one}3\nframe 2\nC 0 0 0\nO 1.2 0 0\n" \
            "number:${one}2\nframe 2\nC 0 0 0\nO 1.2 zero 0\n${one}" \
            "symbol:${one}2\nframe 2\nC 0 0 0\nQq 1.2 0 0\n${one}" \
            "atomic-number:${one}2\nframe 2\n6 0 0 0\n8 1.2 0 0\n2\nframe 3\n6 0 0 0\n200 1 0 0\n"; do
  printf "${case#*:}" > damaged.xyz
  echo "== xyz: ${case%%:*}"
  "$BIN" --json damaged.xyz | cut -c1-90; echo "status ${PIPESTATUS[0]}"
done
gro_frame() { printf 'frame %s\n    2\n    1LIG     C1    1   0.000   0.000   0.000\n%s\n' "$1" "$2"; }
{ gro_frame 1 '    1LIG     O1    2   0.120   0.000   0.000'; echo '   1.0 1.0 1.0'
  gro_frame 2 '    1LIG     O1    2   0.120   0.0x0   0.000'; echo '   1.0 1.0 1.0'; } > number.gro
{ gro_frame 1 '    1LIG     O1    2   0.120   0.000   0.000'; echo '   1.0 1.0 1.0'
  gro_frame 2 '    1LIG     O1    2   0.120   0.000   0.000'; } > nobox.gro
for f in damaged.sdf damaged.mol2 number.gro nobox.gro; do
  echo "== $f"
  "$BIN" "$f" | grep -E '^MODEL|atoms read'; echo "status ${PIPESTATUS[0]}"
  "$BIN" --json "$f" | cut -c1-90; echo "json: status ${PIPESTATUS[0]}"
  "$BIN" -r "$f" "out.${f#*.}" > /dev/null; echo "-r: status $?"; ls out.* 2>/dev/null
done
