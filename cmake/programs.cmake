# The suite's programs, and where an install puts their files under its
# prefix. Shared by the install rules and the uninstall script.
set(SUITE_PROGRAMS
    logonx webstow chalresp digest160 digest128 samefile recmend blankout bytecopy tailcat
    blockcopy)
set(SUITE_BINDIR bin)
set(SUITE_MANDIR share/man/man1)
set(SUITE_DOCDIR share/doc/kestrelsuite)
