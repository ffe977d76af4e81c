#include "language/Parser.h"

#include "language/Global.h"
#include "language/PCode.h"
#include "language/Scanner.h"
#include "language/SymTab.h"

namespace tarko {

namespace {

TToken tok;          // the current token
int blockDepth = 0;  // open Solange/Wiederhole/Falls blocks
int parenDepth = 0;  // open parentheses in the current expression

// Counts one level of nesting for as long as the routine runs.
struct Nesting {
    int& depth;
    explicit Nesting(int& d) : depth(d) { ++depth; }
    ~Nesting() { --depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    bool TooDeep() const { return depth > maxNesting; }
};

bool StatementList();
bool Expression();

// --- token helpers -------------------------------------------------------

bool Next() { return GetSym(tok); }

bool Is(Symbol s) { return tok.Sym == s; }

bool ExpectSym(Symbol s, const char* message) { return Expect(tok.Sym == s, message); }

// The end of a complete statement: EOL, then the token after it.
bool EndOfLine(const char* message) { return ExpectSym(Symbol::EOL_Sym, message) && Next(); }

bool EndOfStatement() { return EndOfLine("Unerwartetes Zeichen oder Wort"); }

// The code compiled from here on belongs to the current token's line.
bool AtLine()
{
    SetCodeLine(SyntaxFehler().Line);
    return true;
}

// The keyword closing a block; the code compiled for it belongs to its line.
bool ExpectEnd(Symbol s, const char* message) { return ExpectSym(s, message) && AtLine(); }

bool Fail(const char* message)
{
    SyntaxError(message);
    return false;
}

// --- code helpers: refuse a program that outgrows the interpreter ----------

bool RoomForCode()
{
    return CodePC() < maxInstructions - 1 || Fail("Das Programm ist zu lang.");
}

bool Code(TOpcode op, double arg = 0.0)
{
    if (!RoomForCode())
        return false;
    Emit(op, arg);
    return true;
}

bool CodeFixup(TOpcode op, TFixup& fixup)
{
    if (!RoomForCode())
        return false;
    EmitFixup(op, fixup);
    return true;
}

// PUSHC of a newly stored text, then op (WRTEXT or GTEXT).
bool CodeText(const std::string& text, TOpcode op)
{
    const int adr = AddText(text);
    if (adr < 0) {
        CancelParse();   // the internal-error box has been shown
        return false;
    }
    return Code(TOpcode::PUSHC, adr) && Code(op);
}

// The target of an assignment or input: declared here when new.
bool Declare(const std::string& name, TSymEntry*& entry)
{
    if (!Lookup(name, entry) && VariableCount() >= maxVariables)
        return Fail("Zu viele Variablen.");
    Enter(name, entry);
    return true;
}

bool IsRelation(Symbol s)
{
    return s == Symbol::gleich || s == Symbol::groesser || s == Symbol::kleiner ||
           s == Symbol::ungleich;
}

TOpcode RelationOp(Symbol s)
{
    switch (s) {
    case Symbol::gleich: return TOpcode::EQUAL;
    case Symbol::groesser: return TOpcode::GREATER;
    case Symbol::kleiner: return TOpcode::LESS;
    default: return TOpcode::NOTEQL;
    }
}

bool CanStartStatement(Symbol s)
{
    const int k = static_cast<int>(s);
    return s == Symbol::SOLANGE_Sym || s == Symbol::WIEDERHOLE_Sym || s == Symbol::FALLS_Sym ||
           (k >= static_cast<int>(Symbol::EINGABE_Sym) &&
            k <= static_cast<int>(Symbol::GRAFIKTEXT_Sym)) ||
           s == Symbol::Bezeichner || s == Symbol::EOL_Sym;
}

// --- expressions ---------------------------------------------------------

// Factor = name | number | "(" Expression ")"
bool Factor()
{
    switch (tok.Sym) {
    case Symbol::Klammer_auf: {
        Nesting nesting(parenDepth);
        if (nesting.TooDeep())
            return Fail("Zu tief verschachtelt.");
        return Next() && Expression() && ExpectSym(Symbol::Klammer_zu, ") erwartet") && Next();
    }
    case Symbol::Bezeichner: {
        TSymEntry* entry = nullptr;
        const bool found = Lookup(tok.Name, entry);
        return Expect(found, "unbekannte Variable") && Code(TOpcode::PUSH, entry->Address) &&
               Next();
    }
    case Symbol::Zahl:
        return Code(TOpcode::PUSHC, tok.Value) && Next();
    default:
        return Expect(false, "Variable, Zahl oder ( erwartet");
    }
}

// Term = Factor { ( "*" | ":" ) Factor }
bool Term()
{
    if (!Factor())
        return false;
    while (Is(Symbol::mal) || Is(Symbol::geteilt)) {
        const Symbol op = tok.Sym;
        if (!Next() || !Factor() || !Code(op == Symbol::mal ? TOpcode::MUL : TOpcode::DIV))
            return false;
    }
    return ParseOk();
}

// Expression = [ "+" | "-" ] Term { ( "+" | "-" ) Term }
bool Expression()
{
    bool negate = false;
    if (Is(Symbol::plus) || Is(Symbol::minus)) {
        negate = Is(Symbol::minus);
        if (!Next())
            return false;
    }
    if (!Term())
        return false;
    if (negate && !(Code(TOpcode::PUSHC, -1.0) && Code(TOpcode::MUL)))
        return false;
    while (Is(Symbol::plus) || Is(Symbol::minus)) {
        const Symbol op = tok.Sym;
        if (!Next() || !Term() || !Code(op == Symbol::plus ? TOpcode::ADD : TOpcode::SUB))
            return false;
    }
    return ParseOk();
}

// Comparison = Expression ( "=" | ">" | "<" | "#" ) Expression
bool Comparison()
{
    if (!Expression())
        return false;
    if (!IsRelation(tok.Sym))
        return Expect(false, "=, <, >, # erwartet");
    const Symbol relation = tok.Sym;
    return Next() && Expression() && Code(RelationOp(relation));
}

// Condition = Comparison { ( "UND" | "ODER" ) Comparison }
bool Condition()
{
    if (!Comparison())
        return false;
    while (Is(Symbol::UND_Sym) || Is(Symbol::ODER_Sym)) {
        const Symbol op = tok.Sym;
        if (!Next() || !Comparison() || !Code(op == Symbol::ODER_Sym ? TOpcode::ADD : TOpcode::MUL))
            return false;
    }
    return ParseOk();
}

// --- statements ----------------------------------------------------------

// Assignment = name "<=" Expression EOL
bool Assignment()
{
    const TToken target = tok;
    if (!Next() || !ExpectSym(Symbol::Zuweisung_Sym, "Zuweisungssymbol <= erwartet oder unbekannte Anweisung") ||
        !Next() || !Expression())
        return false;
    TSymEntry* entry = nullptr;   // declared only now: "x <= x + 1" needs an earlier x
    return Declare(target.Name, entry) && Code(TOpcode::POPC, entry->Address) && EndOfStatement();
}

// WhileLoop = "SOLANGE" Condition EOL StatementList "SOLANGEENDE" EOL
bool WhileLoop()
{
    Nesting nesting(blockDepth);
    if (nesting.TooDeep())
        return Fail("Zu tief verschachtelt.");
    if (!Next())
        return false;
    const int loop = CodePC();
    TFixup exit;
    if (!Condition() || !EndOfLine("Unerwartetes Zeichen") || !CodeFixup(TOpcode::BREQL, exit) ||
        !StatementList() || !ExpectEnd(Symbol::SOLANGEENDE_Sym, "SolangeEnde erwartet") || !Next() ||
        !EndOfStatement() || !Code(TOpcode::BRANCH, loop))
        return false;
    Patch(exit);
    return true;
}

// RepeatLoop = "WIEDERHOLE" StatementList "BIS" Condition EOL
bool RepeatLoop()
{
    Nesting nesting(blockDepth);
    if (nesting.TooDeep())
        return Fail("Zu tief verschachtelt.");
    if (!Next())
        return false;
    const int loop = CodePC();
    TFixup exit;
    if (!StatementList() || !ExpectEnd(Symbol::BIS_Sym, "Bis erwartet") || !Next() || !Condition() ||
        !EndOfStatement() || !CodeFixup(TOpcode::BRNEQL, exit) || !Code(TOpcode::BRANCH, loop))
        return false;
    Patch(exit);
    return true;
}

// IfStatement = "FALLS" Condition EOL StatementList [ "ANSONSTEN" EOL StatementList ] "FALLSENDE" EOL
bool IfStatement()
{
    Nesting nesting(blockDepth);
    if (nesting.TooDeep())
        return Fail("Zu tief verschachtelt.");
    TFixup elsePart, end;
    if (!Next() || !Condition() || !EndOfStatement() || !CodeFixup(TOpcode::BREQL, elsePart) ||
        !StatementList() || !AtLine() || !CodeFixup(TOpcode::BRANCH, end))
        return false;
    Patch(elsePart);
    if (Is(Symbol::ANSONSTEN_Sym) && !(Next() && EndOfLine("Unerwartetes Zeichen") && StatementList()))
        return false;
    if (!ExpectSym(Symbol::FALLSENDE_Sym, "FallsEnde erwartet") || !Next() || !EndOfStatement())
        return false;
    Patch(end);
    return true;
}

// Input = "EINGABE" [ text ] name EOL
bool Input()
{
    if (!Next())
        return false;
    if (Is(Symbol::Texte)) {
        if (!CodeText(tok.Text.empty() ? "? " : tok.Text, TOpcode::WRTEXT) || !Next())
            return false;
    } else if (!CodeText("? ", TOpcode::WRTEXT)) {
        return false;
    }
    TSymEntry* entry = nullptr;
    return ExpectSym(Symbol::Bezeichner, "Variable erwartet") && Declare(tok.Name, entry) &&
           Code(TOpcode::RDREAL) && Code(TOpcode::POPC, entry->Address) &&
           CodeText("\r\n", TOpcode::WRTEXT) && Next() && EndOfStatement();
}

// RandomInput = "ZUFALLSEINGABE" "(" Expression ".." Expression ")" name EOL
bool RandomInput()
{
    TSymEntry* entry = nullptr;
    return Next() && ExpectSym(Symbol::Klammer_auf, "( erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::PunktPunkt, ".. erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::Klammer_zu, ") erwartet") && Next() &&
           ExpectSym(Symbol::Bezeichner, "Variable erwartet") && Declare(tok.Name, entry) &&
           Code(TOpcode::RNDINT) && Code(TOpcode::POPC, entry->Address) && Next() &&
           EndOfStatement();
}

// Output = "AUSGABE" { text | Expression } EOL
bool Output()
{
    if (!Next())
        return false;
    for (;;) {
        if (Is(Symbol::minus) || Is(Symbol::Klammer_auf) || Is(Symbol::Bezeichner) || Is(Symbol::Zahl)) {
            if (!Expression() || !Code(TOpcode::WRREAL))
                return false;
        } else if (Is(Symbol::Texte)) {
            if (!CodeText(tok.Text, TOpcode::WRTEXT) || !Next())
                return false;
        } else {
            break;
        }
    }
    return CodeText("\r\n", TOpcode::WRTEXT) && EndOfStatement();
}

// Clear = "LÖSCHEN" EOL
bool Clear() { return Next() && Code(TOpcode::LOESCHEN) && EndOfStatement(); }

// Pause = "PAUSE" Expression EOL
bool Pause() { return Next() && Expression() && Code(TOpcode::PAUSE) && EndOfStatement(); }

// Colour = colour word EOL; the word's kind is the colour number
bool Colour()
{
    const Symbol colour = tok.Sym;
    return Next() && Code(TOpcode::PUSHC, static_cast<int>(colour)) && Code(TOpcode::GCOLOR, 0) &&
           EndOfStatement();
}

// Pair = "(" Expression ";" Expression ")", entered on the token before "("
bool Pair()
{
    return Next() && ExpectSym(Symbol::Klammer_auf, "( erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::Semikolon, "; erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::Klammer_zu, ") erwartet");
}

// Point = "PUNKT" Pair EOL
bool Point() { return Pair() && Next() && Code(TOpcode::GPLOT) && EndOfStatement(); }

// Line = "LINIE" Pair Pair EOL;  Rectangle = "RECHTECK" Pair Pair EOL
bool TwoPoints(TOpcode op) { return Pair() && Pair() && Next() && Code(op) && EndOfStatement(); }

// Circle = "KREIS" "(" Expression ";" Expression ";" Expression ")" EOL
bool Circle()
{
    return Next() && ExpectSym(Symbol::Klammer_auf, "( erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::Semikolon, "; erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::Semikolon, "; erwartet") && Next() && Expression() &&
           ExpectSym(Symbol::Klammer_zu, ") erwartet") && Next() && Code(TOpcode::GCIRCLE) &&
           EndOfStatement();
}

// GraphicText = "GRAFIKTEXT" Pair text EOL
bool GraphicText()
{
    return Pair() && Next() && ExpectSym(Symbol::Texte, "\" erwartet") &&
           CodeText(tok.Text, TOpcode::GTEXT) && Next() && EndOfStatement();
}

// Statement = EmptyLine | Assignment | WhileLoop | RepeatLoop | IfStatement | Input
//           | RandomInput | Output | Clear | Pause | Colour | graphics statement
bool Statement()
{
    AtLine();
    switch (tok.Sym) {
    case Symbol::SOLANGE_Sym: WhileLoop(); break;
    case Symbol::WIEDERHOLE_Sym: RepeatLoop(); break;
    case Symbol::FALLS_Sym: IfStatement(); break;
    case Symbol::EINGABE_Sym: Input(); break;
    case Symbol::ZUFALLSEINGABE_Sym: RandomInput(); break;
    case Symbol::AUSGABE_Sym: Output(); break;
    case Symbol::LOESCHEN_Sym: Clear(); break;
    case Symbol::PAUSE_Sym: Pause(); break;
    case Symbol::SCHWARZ_Sym: case Symbol::GRAU_Sym: case Symbol::WEISS_Sym:
    case Symbol::ROT_Sym: case Symbol::GELB_Sym: case Symbol::GRUEN_Sym: case Symbol::BLAU_Sym:
        Colour();
        break;
    case Symbol::PUNKT_Sym: Point(); break;
    case Symbol::LINIE_Sym: TwoPoints(TOpcode::GLINE); break;
    case Symbol::RECHTECK_Sym: TwoPoints(TOpcode::GRECTFIL); break;
    case Symbol::KREIS_Sym: Circle(); break;
    case Symbol::GRAFIKTEXT_Sym: GraphicText(); break;
    case Symbol::Bezeichner: Assignment(); break;
    case Symbol::EOL_Sym: Next(); break;
    default: break;
    }
    return ParseOk();
}

// StatementList = { Statement }, while the current token can start one
bool StatementList()
{
    while (CanStartStatement(tok.Sym))
        if (!Statement())
            return false;
    return ParseOk();
}

} // namespace

bool Expect(bool condition, const std::string& message)
{
    if (!condition)
        SyntaxError(message);
    return ParseOk();
}

bool StartParse(const std::string& text)
{
    ClearSymTab();
    InitCode();
    blockDepth = 0;
    parenDepth = 0;
    tok = TToken{};
    InitScanner(text + "\r\n");
    return Next();
}

// Program = StatementList EOT
bool ParseProgram()
{
    if (!StatementList() || !ExpectSym(Symbol::EOT_Sym, "Das Programm ist nicht vollst\xE4ndig."))
        return false;
    FinishCode();
    return ParseOk();
}

bool CompileProgram(const std::string& text) { return StartParse(text) && ParseProgram(); }

} // namespace tarko
