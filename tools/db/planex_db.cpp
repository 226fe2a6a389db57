#include <cstdio>
int main() { std::fputs("planex-db: not built yet\n", stderr); return 2; }
