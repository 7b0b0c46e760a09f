// An empty delay-import descriptor right after the one that dlltool's
// delay-import library puts in .text$2, ending the table as a table of them
// ends (GNU ld sorts the .text$ sections by name).
__asm__(".section \".text$3\",\"dr\"\n.space 32\n.text");
