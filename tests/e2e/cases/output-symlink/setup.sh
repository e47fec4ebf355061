echo "precious" > target.pdb; ln -s target.pdb out.pdb
