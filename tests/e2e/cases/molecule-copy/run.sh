# -r and -t on molecule and simulation text: each record moved by its own
# frame, only the coordinate values (and with -r the GRO velocities)
# replaced, each checked against the run's JSON by an independent reading.
conv="$REPO/tests/e2e/pdb_to_molecules.py" check="$REPO/tests/e2e/check_molecule_copy.py"
mol="$REPO/tests/data/mol"
for f in sdf sdf3000 mol2 xyz extxyz gro grov; do
  python3 "$conv" $f "$REPO/tests/data/1lcd_dna.pdb" records=3 > "twin.$f"
done
for input in "$mol/cdk2.sdf" "$mol/small01.mol" "$mol/pubchem_3.sdf" "$mol/small03_1-8.mol2" \
             "$mol/mol2.xyz" "$mol/opls_structure_ext.xyz" "$mol/spc216.gro" \
             twin.sdf twin.sdf3000 twin.mol2 twin.xyz twin.extxyz twin.gro twin.grov; do
  name=$(basename "$input"); fmt=${name##*.}
  case $fmt in mol|sdf3000) fmt=sdf;; extxyz) fmt=xyz;; grov) fmt=gro;; esac
  for flag in -r -t; do
    rm -f "out.$name"
    "$BIN" --json $flag "$input" "out.$name" > run.json 2>/dev/null; echo "$name $flag: status $?"
    python3 "$check" $fmt "$input" "out.$name" run.json $flag
  done
done
# The frame of the record chosen with --model moves that record only.
"$BIN" --json --model=2 -r twin.xyz out.model.xyz | cut -c1-60; echo "--model=2: status $?"
cmp <(sed -n 1,132p twin.xyz) <(sed -n 1,132p out.model.xyz) && echo "record 1 as read"
cmp <(sed -n 265,396p twin.xyz) <(sed -n 265,396p out.model.xyz) && echo "record 3 as read"
# A value that does not fit its fixed field: asterisks, status 1, the copy kept.
printf 'far\n  gyrotest          3D\n\n  2  0  0  0  0  0  0  0  0  0999 V2000\n%s\n%s\nM  END\n$$$$\n' \
  "99999.9999    0.0000    1.0000 C   0  0" "-9999.9999    0.0000    0.0000 C   0  0" > far.sdf
"$BIN" -t far.sdf far.out.sdf > /dev/null; echo "unfit: status $?"; sed -n 5,6p far.out.sdf
