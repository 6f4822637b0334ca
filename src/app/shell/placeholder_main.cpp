// Placeholder entry until the application frame lands: says so and exits.
#include <cstdio>

int main() {
  std::puts("Vornakest 4: the application frame is not built yet.");
  return 0;
}
