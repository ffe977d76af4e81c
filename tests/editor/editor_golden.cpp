// Prints the golden runs of a program file (see GoldenSpans.h).
#include "GoldenSpans.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: editor-golden FILE.trk\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::cout << tarko::GoldenSpans(text.str());
    return 0;
}
