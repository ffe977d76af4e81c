#pragma once
// The p-code interpreter: a stack machine on doubles that executes the code
// the parser left in the code store. One instance of its state, re-initialised
// by every run. Everything it shows or asks goes through a RunHost.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/RunHost.h"

namespace tarko {

// Run-control flags, set by the workbench's handlers during the message pass.
extern bool StopRequested;   // end the run after the current instruction
extern bool StepRequested;   // single step: execute one instruction
extern bool DebugOutput;     // the debug view is written only while set
extern bool InputDone;       // a number input is finished
// Set by a host whose ReadNumber, Pause or StepWait cannot wait in place (the
// browser): the interpreter then leaves the instruction unfinished, ends the
// slice (RunSlice) and executes it again when the next slice begins. The
// interpreter clears it.
extern bool HostWaiting;

// Table sizes.
constexpr int MaxInstructions = 10000;
constexpr int StackSize = 10000;
constexpr int MaxVariables = 1000;

// How a run ended.
enum class RunEnd {
    Stopped,   // HALT, Stop, the console's line limit, end of input
    Refused,   // LoadCode refused the code of another version (internal error 3)
    Fault,     // a fault ended the run, or the code is too large to load
};

struct RunResult {
    RunEnd end = RunEnd::Stopped;
    std::string fault;   // Windows-1252 fault text when end == Fault
    int faultInstruction = -1;   // number of the instruction that faulted; -1: none ran
};

// The fault texts.
extern const char* const FaultDivByZero;   // "Gleitkommadivision durch Null"
extern const char* const FaultInvalid;     // "Ungültige Gleitkommaoperation"
extern const char* const FaultOverflow;    // "Gleitkommaüberlauf"
extern const char* const TooLargeText;     // code beyond 10000 instructions / 1000 variables

// In normal runs the message pass is called after every this many instructions
// (and after every instruction that talks to the host).
constexpr int MessagePassInterval = 256;

// LoadCode then, if it succeeded, Interpret.
RunResult RunProgram(RunHost& host, bool step);

// Reads the header and the code from the code store. Code of another
// code-machine version is refused with "Interner Fehler 3 ..." through the
// language system's internal-error output (result Refused); code with more
// instructions or variables than the tables hold is refused with
// TooLargeText (result Fault).
RunResult LoadCode();

// Runs the loaded code until StopRequested (set by HALT, Stop, ...) or a fault.
// The same as BeginRun followed by one unbounded RunSlice.
RunResult Interpret(RunHost& host, bool step);

// A run in slices, for hosts that must get control back regularly: BeginRun
// prepares a run of the loaded code (everything Interpret does before its
// first instruction); each RunSlice then executes at most maxInstructions
// instructions (0: no limit) and returns true when the run is over (result
// set as Interpret's), false when the budget is used up or the host is
// waiting (HostWaiting was set). The interpreter's state survives between
// slices exactly: any slicing gives the run Interpret gives.
void BeginRun(RunHost& host, bool step);
bool RunSlice(RunHost& host, uint64_t maxInstructions, RunResult& result);

// Busy wait of s seconds passing messages; returns at once on StopRequested.
void WaitSeconds(double seconds, RunHost& host);

// Random numbers: a fixed seed makes every following run repeat its sequence;
// std::nullopt (the default) seeds from the clock at each run.
void SetRandomSeed(std::optional<uint64_t> seed);

// Normal runs execute a translated form of the code (on by default); off,
// they execute the plain loop that single steps use. Both behave the same in
// everything a program or its host can observe.
void SetTranslatedRuns(bool on);
bool TranslatedRuns();

// Number of instructions executed by the last (or current) run.
uint64_t ExecutedInstructions();

// The interpreter's state for the single-step views.
int RunnerVariableCount();
int RunnerSP();
double RunnerDataCell(int i);
double RunnerStackCell(int i);
int RunnerPC();

// Exact lines of the data view (" #i:value" + CR for the first eight variables)
// and of the stack view ("i : value" + CR for the top eight cells), before the
// blank that the view's append adds to each.
std::vector<std::string> DataViewLines();
std::vector<std::string> StackViewLines();

// "index: listing" of an instruction, as AddCodeText receives it.
std::string CodeViewText(int index);

} // namespace tarko
