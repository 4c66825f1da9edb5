#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("tidemark 1.1.7");
    return 0;
  }
  std::fputs("usage: tidemark SUBCOMMAND [OPTIONS]\n", stderr);
  return 2;
}
