#pragma once
// Compiles a whole program in one pass by recursive descent into the code
// store, declaring variables and storing texts on the way. Only the first
// error is reported (through SyntaxError); nothing is compiled after it.
#include <string>

namespace tarko {

constexpr int maxInstructions = 10000;   // including the final HALT
constexpr int maxVariables = 1000;
constexpr int maxNesting = 1000;         // blocks, and parentheses, each

// Resets symbol table and code store, scans text + CR LF and reads the first
// token. False when that token could not be read.
bool StartParse(const std::string& text);

// Compiles the program from the current token and finishes the code.
bool ParseProgram();

// Reports message through SyntaxError when condition is false; returns ParseOk.
bool Expect(bool condition, const std::string& message);

// StartParse followed by ParseProgram: true when the code store holds a
// complete program.
bool CompileProgram(const std::string& text);

} // namespace tarko
