#include <cstdio>
int main() { std::fputs("planex-settings: not built yet\n", stderr); return 2; }
