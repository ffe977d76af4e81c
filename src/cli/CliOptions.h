#pragma once
// The command line of tarko-run, parsed once in main.cpp.
#include <cstdint>
#include <optional>
#include <string>

namespace tarko {

enum class CliMode {
    Run,      // tarko-run [--seed N] [--no-pause] [--steps] [--png OUT.png] FILE
    Check,    // --check FILE: compile only
    Listing,  // --listing FILE: compile and print the code listing
    Tokens,   // --tokens FILE: print the token pass
    Help,     // --help
};

struct CliOptions {
    CliMode mode = CliMode::Run;
    std::string file;                 // program file as given on the command line
    std::optional<uint64_t> seed;     // --seed N: fixed seed of the random generator
    bool noPause = false;             // --no-pause: "Pause" does not wait
    bool steps = false;               // --steps: print every executed instruction
    std::string pngPath;              // --png OUT.png: write the graphics image; empty = none
};

} // namespace tarko
