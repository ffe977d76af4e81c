#pragma once
// The translated binary operations the interpreter's threaded handlers run
// (FastCode.h describes the entries), and the table of every binary entry
// kind that its dispatch table and handlers are generated from. Internal to
// the interpreter: included by Runner.cpp only, with internal linkage there,
// so that every handler inlines its operation as before.
#include <cstdint>

#include "runtime/FastCode.h"
#include "runtime/Runner.h"
#include "runtime/RunnerValues.h"

// Marks the taken side of a translated jump. Without it the WebAssembly
// compiler selects the next entry's address from the comparison instead of
// branching, and every entry then waits for the comparison before the
// engine can load the next one.
#ifdef __wasm__
#define TARKO_TAKEN() __asm__ volatile("")
#else
#define TARKO_TAKEN() static_cast<void>(0)
#endif

namespace tarko {
namespace {

// The translated binary operation number Op on a and b: false when the
// plain instruction would fault (or must decide itself whether it faults).
template <int Op>
[[gnu::always_inline]] inline bool Apply(double a, double b, double& r)
{
    switch (FusedOperators[Op]) {
    case TOpcode::ADD: r = a + b; return Finite(r);
    case TOpcode::SUB: r = a - b; return Finite(r);
    case TOpcode::MUL: r = a * b; return Finite(r);
    case TOpcode::DIV: r = a / b; return Finite(r);   // also x / 0
    case TOpcode::EQUAL: r = a == b ? 1.0 : 0.0; return true;
    case TOpcode::NOTEQL: r = a != b ? 1.0 : 0.0; return true;
    case TOpcode::GREATER: r = a > b ? 1.0 : 0.0; return true;
    case TOpcode::LESS: r = a < b ? 1.0 : 0.0; return true;
    default: return false;
    }
}

// One translated binary operation with its operands and result as the entry
// says. Returns false, having changed nothing, when one of the instructions
// it stands for would fault on the stack or the arithmetic: the caller then
// executes the first of them the plain way. Entries that do not jump are
// followed by the entry of the next instruction number in the table, so the
// next entry's address does not wait for a load.
template <Operands O, int Op, Result R>
[[gnu::always_inline]] inline bool Binary(const FastEntry*& ip, double* stack, double* data,
                                          int& sp, uint64_t& executed)
{
    constexpr int Length = BinaryLength(O, R);
    const FastEntry& f = *ip;
    double a, b;
    int delta;   // change of SP when the result is pushed
    if constexpr (O == Operands::SS) {
        if (sp > StackSize - 2)
            return false;
        a = stack[sp + 1];
        b = stack[sp];
        delta = 1;
    } else if constexpr (O == Operands::SV || O == Operands::SK) {
        // the leaf's push needs a free cell, the operation a value under it
        if (static_cast<unsigned>(sp - 1) > static_cast<unsigned>(StackSize - 2))
            return false;
        a = stack[sp];
        b = O == Operands::SV ? data[f.b] : f.kb;
        delta = 0;
    } else {
        if (sp < 2)   // room for the two pushes
            return false;
        a = O == Operands::VV || O == Operands::VK ? data[f.a] : f.ka;
        b = O == Operands::VV || O == Operands::KV ? data[f.b] : f.kb;
        delta = -1;
    }
    double r;
    if (!Apply<Op>(a, b, r)) [[unlikely]]
        return false;
    if constexpr (R == Result::Push) {
        sp += delta;
        stack[sp] = r;
    } else {
        sp += delta + 1;
        if constexpr (R == Result::Store) {
            data[f.dst] = r;
        } else {
            if (R == Result::JumpIfZero ? r == 0.0 : r != 0.0) {
                TARKO_TAKEN();
                ip = f.jumpTo;
                executed += Length;
            } else {
                ip = f.fallTo;
                executed += f.length;
            }
            return true;
        }
    }
    ip += Length;
    executed += Length;
    return true;
}

// Every binary entry kind in the order of BinaryKind(): F(operands, operator, result).
#define TARKO_RESULTS(F, o, p) F(o, p, Push) F(o, p, Store) F(o, p, JumpIfZero) F(o, p, JumpIfNonZero)
#define TARKO_OPERATORS(F, o)                                                              \
    TARKO_RESULTS(F, o, 0) TARKO_RESULTS(F, o, 1) TARKO_RESULTS(F, o, 2)                   \
    TARKO_RESULTS(F, o, 3) TARKO_RESULTS(F, o, 4) TARKO_RESULTS(F, o, 5)                   \
    TARKO_RESULTS(F, o, 6) TARKO_RESULTS(F, o, 7)
#define TARKO_BINARY_KINDS(F)                                                              \
    TARKO_OPERATORS(F, VV) TARKO_OPERATORS(F, VK) TARKO_OPERATORS(F, KV)                    \
    TARKO_OPERATORS(F, KK) TARKO_OPERATORS(F, SV) TARKO_OPERATORS(F, SK) TARKO_OPERATORS(F, SS)
static_assert(OperatorCount == 8 && OperandsCount == 7 && ResultCount == 4);

} // namespace
} // namespace tarko
