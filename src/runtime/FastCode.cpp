#include "runtime/FastCode.h"

namespace tarko {

namespace {

constexpr uint8_t Op(TOpcode op) { return static_cast<uint8_t>(op); }

// Index of a translated operator, -1 for any other opcode.
int OperatorIndex(uint8_t op)
{
    for (int i = 0; i < OperatorCount; ++i)
        if (Op(FusedOperators[i]) == op)
            return i;
    return -1;
}

bool IsLeaf(uint8_t op) { return op == Op(TOpcode::PUSH) || op == Op(TOpcode::PUSHC); }

// Sets the operand of a leaf instruction (PUSH or PUSHC) into address/constant.
void Leaf(const Decoded& d, int32_t& address, double& constant)
{
    if (d.op == Op(TOpcode::PUSH))
        address = d.target;
    else
        constant = d.x;
}

class Translator {
public:
    Translator(const Decoded* decoded, int count) : d_(decoded), count_(count) {}

    FastEntry At(int pc) const
    {
        FastEntry e;
        e.next = pc + 1;
        if (Binary(pc, e) || Move(pc, e) || Single(pc, e)) {
            if (e.kind == KindJumpIfZero || e.kind == KindJumpIfNonZero ||
                (e.kind < BinaryKinds && e.kind % ResultCount >= int(Result::JumpIfZero)))
                FoldBranch(e);
        }
        return e;
    }

private:
    const Decoded* d_;
    int count_;

    // The opcode of instruction i; instructions beyond the closing HALT read
    // as HALT, which nothing fuses with.
    uint8_t OpAt(int i) const { return i <= count_ ? d_[i].op : Op(TOpcode::HALT); }

    // [leaf [leaf]] operator [POPC | BREQL | BRNEQL]
    bool Binary(int pc, FastEntry& e) const
    {
        int i = pc;
        Operands operands;
        if (IsLeaf(OpAt(i)) && IsLeaf(OpAt(i + 1)) && OperatorIndex(OpAt(i + 2)) >= 0) {
            const bool va = OpAt(i) == Op(TOpcode::PUSH), vb = OpAt(i + 1) == Op(TOpcode::PUSH);
            operands = va ? (vb ? Operands::VV : Operands::VK) : (vb ? Operands::KV : Operands::KK);
            Leaf(d_[i], e.a, e.ka);
            Leaf(d_[i + 1], e.b, e.kb);
            i += 2;
        } else if (IsLeaf(OpAt(i)) && OperatorIndex(OpAt(i + 1)) >= 0) {
            operands = OpAt(i) == Op(TOpcode::PUSH) ? Operands::SV : Operands::SK;
            Leaf(d_[i], e.b, e.kb);
            i += 1;
        } else if (OperatorIndex(OpAt(i)) >= 0) {
            operands = Operands::SS;
        } else {
            return false;
        }
        const int op = OperatorIndex(OpAt(i));
        ++i;
        Result result = Result::Push;
        const uint8_t after = OpAt(i);
        if (after == Op(TOpcode::POPC)) {
            result = Result::Store;
            e.dst = d_[i].target;
            ++i;
        } else if (after == Op(TOpcode::BREQL) || after == Op(TOpcode::BRNEQL)) {
            result = after == Op(TOpcode::BREQL) ? Result::JumpIfZero : Result::JumpIfNonZero;
            e.dst = d_[i].target;
            ++i;
        }
        e.kind = static_cast<uint16_t>(BinaryKind(operands, op, result));
        e.length = e.jumpLength = static_cast<uint8_t>(i - pc);
        e.next = i;
        return true;
    }

    // leaf POPC
    bool Move(int pc, FastEntry& e) const
    {
        if (!IsLeaf(OpAt(pc)) || OpAt(pc + 1) != Op(TOpcode::POPC))
            return false;
        e.kind = OpAt(pc) == Op(TOpcode::PUSH) ? KindMoveV : KindMoveK;
        Leaf(d_[pc], e.a, e.ka);
        e.dst = d_[pc + 1].target;
        e.length = e.jumpLength = 2;
        e.next = pc + 2;
        return true;
    }

    bool Single(int pc, FastEntry& e) const
    {
        const Decoded& in = d_[pc];
        switch (static_cast<TOpcode>(OpAt(pc))) {
        case TOpcode::PUSH: e.kind = KindPushV; e.a = in.target; break;
        case TOpcode::PUSHC: e.kind = KindPushK; e.ka = in.x; break;
        case TOpcode::POPC: e.kind = KindStore; e.dst = in.target; break;
        case TOpcode::BREQL: e.kind = KindJumpIfZero; e.dst = in.target; break;
        case TOpcode::BRNEQL: e.kind = KindJumpIfNonZero; e.dst = in.target; break;
        case TOpcode::BRANCH:
            e.kind = KindBranch;
            e.dst = in.target;
            return false;
        default:
            return false;   // plain
        }
        return true;
    }

    // An unconditional BRANCH right after a conditional jump is taken into the
    // entry: when it does not jump it continues at the branch's target (the
    // back jump of a "Wiederhole" loop).
    void FoldBranch(FastEntry& e) const
    {
        if (OpAt(e.next) != Op(TOpcode::BRANCH))
            return;
        const int target = d_[e.next].target;
        e.next = target;
        ++e.length;
    }
};

} // namespace

std::vector<FastEntry> TranslateCode(const Decoded* decoded, int count)
{
    std::vector<FastEntry> entries(static_cast<size_t>(count) + 1);
    const Translator translator(decoded, count);
    for (int pc = 0; pc <= count; ++pc)
        entries[static_cast<size_t>(pc)] = translator.At(pc);
    return entries;
}

} // namespace tarko
