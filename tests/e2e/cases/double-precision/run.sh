# --double: crambin's report and JSON in double precision; a large structure
# far from the origin, moved to its centre with -t --double, has its centre
# within 0.001 A of the origin (the coordinates rounded once to 3 decimals).
cp "$REPO/examples/1crn.pdb" in.pdb
"$BIN" --double in.pdb; echo "status $?"
"$BIN" --double --json in.pdb
awk 'BEGIN { for (i = 1; i <= 60000; i++) printf "ATOM  %5d  %-3s GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00\n", i % 100000, (i % 3 ? "C" : "O"), 900 + (i % 97) * 0.731, -700 + (i % 89) * 0.913, 800 + (i % 83) * 1.117 }' > far.pdb
"$BIN" -t --double far.pdb moved.pdb > /dev/null
"$BIN" --double --json moved.pdb | python3 -c '
import json, sys
c = json.load(sys.stdin)["centre"]
print("centre of the -t --double copy within 0.001 A of the origin:", max(map(abs, c)) < 0.001)'
rm -f far.pdb moved.pdb
