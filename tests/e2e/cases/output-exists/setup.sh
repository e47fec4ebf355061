echo "precious" > out.pdb
