mkdir somedir
