#pragma once
// The command line of tarko-run, parsed once in main.cpp.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarko {

enum class CliMode {
    Run,      // tarko-run [--seed N] [--no-pause] [--steps] [--png OUT.png] FILE
    Check,    // --check FILE...: compile only
    Expect,   // --input IN --expect OUT FILE...: run each, compare the transcripts
    TaskCreate, // --task-create MODEL --title T --text FILE --case IN... -o TASK: make a task
    Task,     // --task TASK FILE...: run each program on every case of the task
    Listing,  // --listing FILE: compile and print the code listing
    Tokens,   // --tokens FILE: print the token pass
    Help,     // --help
};

struct CliOptions {
    CliMode mode = CliMode::Run;
    std::string file;                 // (first) program file as given on the command line
    std::vector<std::string> files;   // all program files (several for --check and --expect)
    std::optional<uint64_t> seed;     // --seed N: fixed seed of the random generator
    bool noPause = false;             // --no-pause: "Pause" does not wait
    bool steps = false;               // --steps: print every executed instruction
    std::string pngPath;              // --png OUT.png: write the graphics image; empty = none
    std::string inputPath;            // --input IN: the numbers typed, for every program
    std::string expectPath;           // --expect OUT: the transcript every program must print
    bool json = false;                // --json: results as JSON on stdout
    double timeLimit = 10;            // --time-limit S: seconds per program with --expect
    // --task-create and --task
    std::string taskPath;             // --task TASK: the task to check the files against
    std::string title;                // --title T
    std::string textPath;             // --text FILE: the task text (UTF-8)
    std::string starterPath;          // --starter FILE: the starter program
    std::string outPath;              // -o TASK: the task file to write
    struct CaseInput { std::string path; bool hidden; };
    std::vector<CaseInput> caseInputs;   // --case IN and --hidden IN, in their order
};

} // namespace tarko
