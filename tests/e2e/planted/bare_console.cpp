// The baseline for the start-up benchmark: a console program that does
// nothing but print one line.
#include <cstdio>

int main() {
    std::puts("bare");
    return 0;
}
