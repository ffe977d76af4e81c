// Front-end figures: compiling a program of 2,402 lines (a mix of
// comments, assignments, loops, branches, input, output and graphics, as
// pupils write them), best and median of repeated compilations.
//   bench-frontend [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "language/FrontEndOutput.h"
#include "language/PCode.h"
#include "language/Parser.h"

using namespace tarko;

namespace {

constexpr int ProgramLines = 2402;

// One block of 24 lines; the names carry the block number so that the
// symbol table grows as in a long program (within 1000 variables).
std::vector<std::string> Block(int n)
{
    const std::string i = "i" + std::to_string(n % 400);
    const std::string s = "Summe" + std::to_string(n % 400);
    return {
        "/ Abschnitt " + std::to_string(n) + ": eine Schleife mit Verzweigung",
        i + " <= 0",
        s + " <= 0",
        "Solange " + i + " < 10",
        "  " + s + " <= " + s + " + " + i + " * 2 - 1",
        "  Falls " + s + " > 20 Und " + i + " # 3",
        "    Ausgabe \"gross \" " + s,
        "  Ansonsten",
        "    Ausgabe \"klein\"",
        "  Fallsende",
        "  " + i + " <= " + i + " + 1",
        "Solangeende",
        "",
        "Wiederhole",
        "  " + i + " <= " + i + " - 1",
        "bis " + i + " = 0",
        "Eingabe \"Zahl: \" " + i,
        "Zufallseingabe (1..6) " + s,
        "Rot",
        "Linie (" + i + "; 0) (0; " + s + ")",
        "Kreis (0; 0; 2,5)",
        "/ Ende des Abschnitts",
        "Pause 0",
        "",
    };
}

std::string Program()
{
    std::string text;
    int lines = 0;
    for (int n = 0; lines < ProgramLines; ++n)
        for (const std::string& line : Block(n)) {
            if (lines == ProgramLines)
                break;
            text += line + "\r\n";
            ++lines;
        }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    SetFrontEndOutput({});
    const std::string text = Program();
    std::string error;
    FrontEndOutput out;
    out.compileError = [&error](const std::string& m, int line, int) {
        error = std::to_string(line + 1) + ": " + m;
    };
    SetFrontEndOutput(out);
    if (!CompileProgram(text)) {
        std::fprintf(stderr, "the benchmark program does not compile: %s\n", error.c_str());
        return 1;
    }
    const int instructions = CodePC();
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        CompileProgram(text);
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("compile %d lines (%d instructions), %d runs: best %.1f us, median %.1f us\n",
                ProgramLines, instructions, runs, times.front(), times[times.size() / 2]);
    return 0;
}
