#include <cstdio>

int main() {
  std::fputs("tolvane: not yet wired\n", stderr);
  return 1;
}
