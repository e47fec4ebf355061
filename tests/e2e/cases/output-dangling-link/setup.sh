ln -s nowhere.pdb out.pdb
