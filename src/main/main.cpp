// STUB: replaced by the game shell's entry.
#include <cstdio>
int main() { puts("Twinfold Engine starting"); return 0; }
