// The desktop's formatter on files, for comparing the module's with it:
// writes each file's formatted text to stdout, preceded by its length as a
// decimal line, so that the texts need no separator.
#include <fstream>
#include <iostream>
#include <iterator>

#include "language/Formatter.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << "format_native: cannot read " << argv[i] << "\n";
            return 1;
        }
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::string out = tarko::FormatText(text);
        std::cout << out.size() << "\n" << out;
    }
    return 0;
}
