# 64000 accepted atoms, then one whose name gives no mass: the limit counts
# accepted atoms only.
N=64000; awk -v n=$N 'BEGIN { split(" O  , H1 , H2 ", nm, ","); for (i = 1; i <= n; i++) printf "ATOM  %5d %4s HOH A%4d    %8.3f%8.3f%8.3f  1.00  0.00\n", i % 100000, nm[i % 3 + 1], i % 10000, (i % 40) * 1.5, int(i / 40) % 40 * 1.5, int(i / 1600) * 1.5 }' > in.pdb
echo "HETATM64001 ZN    ZN A9999       1.000   2.000   3.000  1.00  0.00" >> in.pdb
