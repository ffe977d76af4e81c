#include "language/PCode.h"

#include "language/FrontEndOutput.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tarko {

namespace {

struct OpcodeInfo {
    const char* name;
    bool showsOperand;
};

constexpr OpcodeInfo opcodeTable[] = {
#define TARKO_OPCODE_INFO(name, text, shows) {text, shows},
    TARKO_OPCODES(TARKO_OPCODE_INFO)
#undef TARKO_OPCODE_INFO
};

// The code store: slots 0..maxSPtr. Allocated once, on first use.
std::vector<TInstruction>& Store()
{
    static std::vector<TInstruction> store(maxSPtr + 1);
    return store;
}

// The program line of each emitted instruction, indexed by its number.
std::vector<int32_t>& Lines()
{
    static std::vector<int32_t> lines(maxSPtr + 1, -1);
    return lines;
}

int currentLine = -1;

// Records the current line for the instruction numbered codePC.
inline void RecordLine(int pc)
{
    if (pc >= 0 && pc <= maxSPtr)
        Lines()[static_cast<size_t>(pc)] = currentLine;
}

int position = 0;
int highWater = 0;
int codePC = 0;
int variableCount = 0;

void Overflow(const char* where)
{
    ReportInternalError(std::string("Interner Fehler 2: maxSPtr-\xDC" "berlauf in ") + where + " in Stream");
}

// Sends the listing line of the instruction just written as number codePC.
void SendListing(const TInstruction& instr, bool placeholder)
{
    const FrontEndOutput& out = CurrentFrontEndOutput();
    if (!out.listing)
        return;
    std::string line = placeholder ? "PC" : "PC:";
    line += std::to_string(codePC);
    line += ' ';
    line += InstrToText(instr);
    line += '\r';
    out.listing(line);
}

// The operand in the fixed 10-character form " d.dE+dddd", two significant
// digits rounded half up on the decimal digits of the value.
std::string ScientificOperand(double v)
{
    const char sign = v < 0 ? '-' : ' ';
    if (std::isnan(v))
        return std::string(1, sign) + "NAN";
    if (std::isinf(v))
        return std::string(1, sign) + "INF";
    const double a = std::fabs(v);
    int d1 = 0, d2 = 0, exp10 = 0;
    if (a != 0) {
        // glibc prints the exact decimal expansion, so the third digit is exact.
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.30e", a);
        d1 = buf[0] - '0';
        d2 = buf[2] - '0';
        const int d3 = buf[3] - '0';
        exp10 = std::atoi(buf + 33);
        if (d3 >= 5 && ++d2 == 10) {
            d2 = 0;
            if (++d1 == 10) {
                d1 = 1;
                ++exp10;
            }
        }
    }
    char out[32];
    std::snprintf(out, sizeof out, "%c%d.%dE%c%04d", sign, d1, d2, exp10 < 0 ? '-' : '+',
                  exp10 < 0 ? -exp10 : exp10);
    return out;
}

} // namespace

const char* OpcodeName(TOpcode op)
{
    const auto i = static_cast<unsigned>(op);
    return i < static_cast<unsigned>(OpcodeCount) ? opcodeTable[i].name : "";
}

bool OpcodeShowsOperand(TOpcode op)
{
    const auto i = static_cast<unsigned>(op);
    return i < static_cast<unsigned>(OpcodeCount) && opcodeTable[i].showsOperand;
}

void ResetStream()
{
    position = 0;
    highWater = 0;
}

// Past the last slot the write is dropped: the store is never left.
void WriteS(const TInstruction& instr)
{
    if (position > maxSPtr) {
        Overflow("WriteS");
        return;
    }
    Store()[static_cast<size_t>(position)] = instr;
    ++position;
    if (position > highWater)
        highWater = position;
    if (position > maxSPtr)
        Overflow("WriteS");
}

// Past the last slot a HALT is delivered, so a reader stops.
void ReadS(TInstruction& instr)
{
    if (position > maxSPtr) {
        instr = {TOpcode::HALT, 0.0};
        Overflow("ReadS");
        return;
    }
    instr = Store()[static_cast<size_t>(position)];
    ++position;
    if (position > maxSPtr)
        Overflow("ReadS");
}

int StreamPos() { return position; }

void SeekS(int n)
{
    if (n > highWater || n > maxSPtr || n < 0) {
        Overflow("SeekS");
        return;
    }
    position = n;
}

void InitCode()
{
    ResetStream();
    codePC = 0;
    variableCount = 0;
    currentLine = -1;
    WriteS({TOpcode::NOP, CodeMachineVersion});
    WriteS({TOpcode::NOP, 0.0});
    WriteS({TOpcode::NOP, 0.0});
}

void Emit(TOpcode op, double arg)
{
    const TInstruction instr{op, arg};
    WriteS(instr);
    SendListing(instr, false);
    RecordLine(codePC);
    ++codePC;
}

void EmitFixup(TOpcode op, TFixup& fixup)
{
    fixup = {StreamPos(), op};
    const TInstruction instr{op, 0.0};
    WriteS(instr);
    SendListing(instr, true);
    RecordLine(codePC);
    ++codePC;
}

void Patch(const TFixup& fixup)
{
    const int p = StreamPos();
    SeekS(fixup.Slot);
    WriteS({fixup.Op, static_cast<double>(codePC)});
    SeekS(p);
}

void FinishCode()
{
    WriteS({TOpcode::HALT, 0.0});
    SeekS(1);
    WriteS({TOpcode::NOP, static_cast<double>(codePC + 1)});
    SeekS(2);
    WriteS({TOpcode::NOP, static_cast<double>(variableCount)});
}

int NewDataAdr() { return variableCount++; }

int CodePC() { return codePC; }

void SetCodeLine(int line) { currentLine = line; }

int CodeLine(int instruction)
{
    if (instruction < 0 || instruction >= codePC || instruction > maxSPtr)
        return -1;
    return Lines()[static_cast<size_t>(instruction)];
}

int VariableCount() { return variableCount; }

std::string InstrToText(const TInstruction& instr)
{
    std::string text = OpcodeName(instr.Op);
    if (OpcodeShowsOperand(instr.Op))
        text += ScientificOperand(instr.Arg);
    if (text.size() > 15)
        text.resize(15);
    return text;
}

} // namespace tarko
