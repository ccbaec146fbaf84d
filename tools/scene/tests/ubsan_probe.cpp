// Undefined behaviour of our own, of the kind ubsan.supp lets pass in gemmi:
// the sanitizer must report it and stop before "went on" is printed.

#include <cstdio>

int main(int argc, char**) {
    volatile int negative = -argc;
    const int shifted = negative << 4;
    std::printf("went on (%d)\n", shifted);
    return 0;
}
