#pragma once
// The p-code of the stack machine and the code store ("Stream") the parser
// writes and the interpreter reads back.
#include <cstdint>
#include <string>

namespace tarko {

// The one opcode table: enum name, display name (Windows-1252), whether the
// listing shows the operand. Order gives the opcode numbers 0..32.
#define TARKO_OPCODES(X)            \
    X(ADD,      "ADD",      false)   \
    X(SUB,      "SUB",      false)   \
    X(MUL,      "MUL",      false)   \
    X(DIV,      "DIV",      false)   \
    X(EQUAL,    "EQUAL",    false)   \
    X(NOTEQL,   "NOTEQL",   false)   \
    X(GREATER,  "GREATER",  false)   \
    X(LESS,     "LESS",     false)   \
    X(GTREQL,   "GTREQL",   false)   \
    X(LSSEQL,   "LSSEQL",   false)   \
    X(PUSHC,    "PUSHC",    true)    \
    X(PUSH,     "PUSH",     true)    \
    X(POPC,     "POPC",     true)    \
    X(POP,      "POP",      false)   \
    X(BRANCH,   "BRANCH",   true)    \
    X(JUMP,     "JUMP",     true)    \
    X(BREQL,    "BREQL",    true)    \
    X(BRNEQL,   "BRNEQL",   true)    \
    X(RNDINT,   "RNDINT",   false)   \
    X(RDREAL,   "RDREAL",   false)   \
    X(WRREAL,   "WRREAL",   false)   \
    X(WRTEXT,   "WRTEXT",   false)   \
    X(LOESCHEN, "L\xD6SCHEN", false) \
    X(PAUSE,    "PAUSE",    false)   \
    X(GPLOT,    "GPLOT",    false)   \
    X(GLINE,    "GLINE",    false)   \
    X(GCOLOR,   "GCOLOR",   true)    \
    X(GRECTFIL, "GRECTFIL", false)   \
    X(GCIRCLE,  "GCIRCLE",  false)   \
    X(GTEXT,    "GTEXT",    false)   \
    X(CONTENTS, "CONTENTS", false)   \
    X(HALT,     "HALT",     false)   \
    X(NOP,      "NOP",      false)

enum class TOpcode : uint8_t {
#define TARKO_OPCODE_ENUM(name, text, shows) name,
    TARKO_OPCODES(TARKO_OPCODE_ENUM)
#undef TARKO_OPCODE_ENUM
};

constexpr int OpcodeCount = 0
#define TARKO_OPCODE_COUNT(name, text, shows) +1
    TARKO_OPCODES(TARKO_OPCODE_COUNT)
#undef TARKO_OPCODE_COUNT
    ;
static_assert(OpcodeCount == 33);

struct TInstruction {
    TOpcode Op = TOpcode::NOP;
    double Arg = 0.0;
};

struct TFixup {
    int32_t Slot = 0;
    TOpcode Op = TOpcode::NOP;
};

constexpr int maxSPtr = 100000;      // last slot of the code store
constexpr double CodeMachineVersion = 8.0;

// Display name of an opcode (Windows-1252); "" for a byte outside the table.
const char* OpcodeName(TOpcode op);
bool OpcodeShowsOperand(TOpcode op);

// Stream operations.
void ResetStream();
void WriteS(const TInstruction& instr);
void ReadS(TInstruction& instr);
int StreamPos();
void SeekS(int n);

// Compiler operations.
void InitCode();
void Emit(TOpcode op, double arg = 0.0);
void EmitFixup(TOpcode op, TFixup& fixup);
void Patch(const TFixup& fixup);
void FinishCode();
int NewDataAdr();
int CodePC();          // number of instructions emitted since InitCode
int VariableCount();   // data addresses handed out since InitCode

// Program lines of the instructions, kept beside the code store (which stays
// as it is): the parser names the line of what it compiles, and every Emit
// and EmitFixup records it for its instruction number. Lines are 0-based.
void SetCodeLine(int line);
// The line of instruction n (0 = the first after the header), -1 when no
// instruction n was emitted since InitCode (the final HALT has none).
int CodeLine(int instruction);

// Listing text of one instruction, at most 15 characters.
std::string InstrToText(const TInstruction& instr);

} // namespace tarko
