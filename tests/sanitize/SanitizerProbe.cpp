// Commits one fault on request, so the sanitizer build can show that each
// kind of report ends a program with a failing status (and is not merely
// printed while the test passes).
#include <climits>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (std::strcmp(argv[1], "leak") == 0) {
        int* lost = new int[64];
        lost[0] = argc;
        std::printf("%d\n", lost[0]);
        lost = nullptr;
        return 0;
    }
    if (std::strcmp(argv[1], "overflow") == 0) {
        char* cells = new char[4];
        std::memset(cells, 'x', size_t(argc) + 3);   // one past the end
        std::printf("%.*s\n", 4, cells);
        delete[] cells;
        return 0;
    }
    if (std::strcmp(argv[1], "undefined") == 0) {
        volatile int big = INT_MAX;
        const int sum = big + argc;   // signed overflow
        std::printf("%d\n", sum);
        return 0;
    }
    return 2;
}
