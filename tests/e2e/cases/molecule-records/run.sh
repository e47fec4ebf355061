# Records of molecule and simulation text: reports of real files, isotopes
# (M  ISO and V3000 MASS=), a V3000 coordinate split over two lines, pseudo
# atoms, --model=N, --select on the fields each format has, and the options
# that hold for every format.
mol="$REPO/tests/data/mol"
cp "$mol/small01.mol" "$mol/spc216.gro" "$mol/small03_1-8.mol2" "$mol/CHEMBL2321810_scaffold.mol" .
"$BIN" small01.mol; echo "small01.mol: status $?"
"$BIN" --shape spc216.gro | tail -12; echo "spc216.gro: status ${PIPESTATUS[0]}"
"$BIN" CHEMBL2321810_scaffold.mol | sed -n 4p; echo "scaffold: status ${PIPESTATUS[0]}"
mass() { "$BIN" --json "$@" | python3 -c 'import json,sys; [print(json.loads(l).get("mass", json.loads(l).get("error"))) for l in sys.stdin]'; }
# Isotopes: water, then heavy water as M  ISO, then as V3000 MASS=, then 13C
# methane split over continuation lines (its x value across the break).
cat > isotopes.sdf <<'SDF'
water
  gyrotest          3D

  3  0  0  0  0  0  0  0  0  0999 V2000
    0.0000    0.0000    0.1173 O   0  0
    0.0000    0.7572   -0.4692 H   0  0
    0.0000   -0.7572   -0.4692 H   0  0
M  END
$$$$
heavy water
  gyrotest          3D

  3  0  0  0  0  0  0  0  0  0999 V2000
    0.0000    0.0000    0.1173 O   0  0
    0.0000    0.7572   -0.4692 H   0  0
    0.0000   -0.7572   -0.4692 H   0  0
M  ISO  2   2   2   3   2
M  END
$$$$
heavy water, V3000
  gyrotest          3D

  0  0  0     0  0            999 V3000
M  V30 BEGIN CTAB
M  V30 COUNTS 3 0 0 0 0
M  V30 BEGIN ATOM
M  V30 1 O 0.0000 0.0000 0.1173 0
M  V30 2 H 0.0000 0.7572 -0.4692 0 MASS=2
M  V30 3 H 0.0000 -0.7572 -0.4692 0 -
M  V30 MASS=2
M  V30 END ATOM
M  V30 END CTAB
M  END
$$$$
carbon-13 methane, a value across a continuation
  gyrotest          3D

  0  0  0     0  0            999 V3000
M  V30 BEGIN CTAB
M  V30 COUNTS 5 0 0 0 0
M  V30 BEGIN ATOM
M  V30 1 C 0.0000 0.0000 0.0000 0 MASS=13
M  V30 2 H 0.62-
M  V30 90 0.6290 0.6290 0
M  V30 3 H -0.6290 -0.6290 0.6290 0
M  V30 4 H -0.6290 0.6290 -0.6290 0
M  V30 5 H 0.6290 -0.6290 -0.6290 0
M  V30 END ATOM
M  V30 END CTAB
M  END
$$$$
SDF
mass isotopes.sdf; echo "isotopes: status $?"
"$BIN" --json isotopes.sdf --model=4 | python3 -c 'import json,sys; print(json.loads(sys.stdin.read())["centre"])'
"$BIN" -r --model=4 isotopes.sdf isotopes.out.sdf > /dev/null; echo "split value -r: status $?"
sed -n 43,45p isotopes.out.sdf
# --model=N: one record; past the last, the stop names what the file has.
"$BIN" --model=3 small03_1-8.mol2 | head -4; echo "--model=3: status ${PIPESTATUS[0]}"
"$BIN" --model=9 small03_1-8.mol2; echo "--model=9: status $?"
# --select on MOL2 and GRO fields; --masses=unit; --double; --canonical.
"$BIN" --json --select='element C' --model=1 small03_1-8.mol2 | cut -c1-100
"$BIN" --json --select='name OW and resid 1-10' spc216.gro | cut -c1-120
"$BIN" --json --masses=unit --model=1 small03_1-8.mol2 | cut -c1-100
"$BIN" --json --double small01.mol | cut -c1-140
"$BIN" --canonical -r small01.mol canon.mol > /dev/null; echo "--canonical -r: status $?"
# Ions of simulation programs in GRO: one-atom residues by their names.
printf 'ions\n    4\n    1NA      NA    1   0.000   0.000   0.000\n    2CL      CL    2   0.300   0.000   0.000\n    3SOD    SOD    3   0.000   0.300   0.000\n    4CA      CA    4   0.000   0.000   0.300\n   1.0   1.0   1.0\n' > ions.gro
mass ions.gro
