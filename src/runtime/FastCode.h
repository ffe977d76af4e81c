#pragma once
// The translated form of the loaded code that normal runs execute: one entry
// per instruction number, each standing for the instruction there and, where
// a frequent sequence starts there, for the whole sequence ("b := a + c",
// compare and branch, ...). Operands are decoded in advance.
//
// Every entry behaves exactly like the instructions it stands for: the
// interpreter runs an entry only when none of them can fault or needs the
// message pass, and otherwise executes the single instruction at its number
// the plain way and carries on with the entry of the next one. Because every
// instruction number keeps an entry of its own, a jump into the middle of a
// sequence simply starts at the entry there; sequences never contain a jump
// except as their last instruction.
#include <cstdint>
#include <vector>

#include "language/PCode.h"

namespace tarko {

// Opcodes the loader puts in place of instructions whose operand can never be
// used: executing one is the invalid-operation fault, for a conditional branch
// only when it would jump.
constexpr uint8_t OpBadOperand = 200;
constexpr uint8_t OpBadBreql = 201;
constexpr uint8_t OpBadBrneql = 202;

// One loaded instruction, its operand pre-converted where it is an address or
// a branch target (checked once at load time, not on every execution).
struct Decoded {
    uint8_t op;
    int32_t target;
    double x;
};

// Where the two operands of a translated binary operation come from:
// V a variable, K a constant, S the stack. SV/SK take the left operand from
// the top of the stack; SS is the plain operation on the two top cells.
enum class Operands : uint8_t { VV, VK, KV, KK, SV, SK, SS };
constexpr int OperandsCount = 7;

// The operations translated (GTREQL and LSSEQL are never compiled and run
// the plain way).
constexpr TOpcode FusedOperators[] = {TOpcode::ADD,   TOpcode::SUB,    TOpcode::MUL,
                                      TOpcode::DIV,   TOpcode::EQUAL,  TOpcode::NOTEQL,
                                      TOpcode::GREATER, TOpcode::LESS};
constexpr int OperatorCount = 8;

// What happens to the result: pushed, stored by the following POPC, or tested
// by the following BREQL (jump if zero) / BRNEQL (jump if non-zero).
enum class Result : uint8_t { Push, Store, JumpIfZero, JumpIfNonZero };
constexpr int ResultCount = 4;

// Entry kinds: first the binary operations, numbered
// (operands * OperatorCount + operator) * ResultCount + result, then the rest.
constexpr int BinaryKinds = OperandsCount * OperatorCount * ResultCount;
enum FastKind : uint16_t {
    KindPlain = BinaryKinds,   // run the instruction the plain way
    KindPushV,                 // PUSH a
    KindPushK,                 // PUSHC k
    KindStore,                 // POPC dst
    KindMoveV,                 // PUSH a; POPC dst
    KindMoveK,                 // PUSHC k; POPC dst
    KindBranch,                // BRANCH
    KindJumpIfZero,            // BREQL
    KindJumpIfNonZero,         // BRNEQL
    KindCount
};

constexpr int BinaryKind(Operands o, int op, Result r)
{
    return (static_cast<int>(o) * OperatorCount + op) * ResultCount + static_cast<int>(r);
}

struct FastEntry {
    // Filled in by the interpreter before it runs the entries (threaded code).
    const void* handler = nullptr;
    const FastEntry* jumpTo = nullptr;   // entry of dst
    const FastEntry* fallTo = nullptr;   // entry of next
    uint16_t kind = KindPlain;
    uint8_t length = 1;       // instructions it stands for when it does not jump
    uint8_t jumpLength = 1;   // ... when its jump is taken
    int32_t dst = 0;          // data address stored to, or the jump target
    int32_t next = 0;         // instruction number after it when it does not jump
    int32_t a = 0, b = 0;     // data addresses of the operands
    double ka = 0.0, kb = 0.0;   // constant operands
};
static_assert(sizeof(void*) != 8 || sizeof(FastEntry) == 64);

// Instructions a binary entry stands for when it does not jump (an
// unconditional BRANCH after a conditional one is taken into the entry and
// adds one).
constexpr int BinaryLength(Operands o, Result r)
{
    const int leaves = o == Operands::SS ? 0 : o == Operands::SV || o == Operands::SK ? 1 : 2;
    return leaves + 1 + (r == Result::Push ? 0 : 1);
}

// Translates decoded[0 .. count-1] (decoded[count] is the closing HALT) into
// one entry per instruction number, count + 1 entries.
std::vector<FastEntry> TranslateCode(const Decoded* decoded, int count);

// The translation of the code LoadCode (Runner.h) loaded last.
std::vector<FastEntry> TranslateLoadedCode();

} // namespace tarko
