#include "language/Scanner.h"

#include "language/FrontEndOutput.h"
#include "language/Global.h"
#include "language/Letters.h"

namespace tarko {

namespace {

constexpr const char* symbolNames[SymbolCount] = {
#define TARKO_SYMBOL_NAME(name, text) text,
    TARKO_SYMBOLS(TARKO_SYMBOL_NAME)
#undef TARKO_SYMBOL_NAME
};

constexpr char CR = 13;
constexpr char LF = 10;
constexpr char TAB = 9;
constexpr char EOT = 0;

std::string source;
size_t readPos = 0;   // 0-based index of the character ReadCh delivers next
char ch = EOT;
char nextCh = EOT;
bool parseOk = true;

bool IsBlank(char c) { return c == TAB || c == LF || c == ' '; }

bool IsSymbolStart(char c)
{
    switch (c) {
    case EOT: case CR: case '#': case '(': case ')': case '*': case '+': case '-':
    case '.': case ':': case ';': case '<': case '=': case '>':
        return true;
    default:
        return false;
    }
}

// The character at the read position, code 0 past the end; the column moves
// with the read position.
char ReadCh()
{
    const char c = readPos < source.size() ? source[readPos] : EOT;
    ++readPos;
    ++SyntaxFehler().Column;
    return c;
}

// One character on, without comment handling (inside a text literal a "/" is
// an ordinary character).
void GetRawCh()
{
    ch = nextCh;
    nextCh = ReadCh();
    if (ch == LF) {
        ++SyntaxFehler().Line;
        SyntaxFehler().Column = 0;
    }
}

// One character on; a comment runs from "/" to the CR ending its line, and
// the CR is delivered with the column of the character after the "/".
void GetCh()
{
    ch = nextCh;
    nextCh = ReadCh();
    if (ch == '/') {
        const int32_t column = SyntaxFehler().Column;
        do {
            ch = nextCh;
            nextCh = ReadCh();
        } while (ch != EOT && ch != CR);
        SyntaxFehler().Column = column;
    }
    if (ch == LF) {
        ++SyntaxFehler().Line;
        SyntaxFehler().Column = 0;
    }
}

// name: letter { letter | digit }, in capitals, cut to 20 characters
void ScanName(TToken& token)
{
    std::string name(1, NameCapital(ch));
    while (IsNameChar(nextCh)) {
        GetCh();
        if (name.size() < maxNameLength)
            name += NameCapital(ch);
    }
    token.Sym = Symbol::Bezeichner;
    const std::string key = name + "_Sym";
    for (int i = 0; i < KeywordCount; ++i)
        if (key == symbolNames[i]) {
            token.Sym = static_cast<Symbol>(i);
            break;
        }
    token.Name = std::move(name);
}

// number: digit { digit } [ "," { digit } ]
void ScanNumber(TToken& token)
{
    double value = ch - '0';
    while (IsDigitChar(nextCh)) {
        GetCh();
        value = value * 10 + (ch - '0');
    }
    if (nextCh == ',') {
        GetCh();
        double f = 0.1;
        while (IsDigitChar(nextCh)) {
            GetCh();
            value = value + (ch - '0') * f;
            f = f * 0.1;
        }
    }
    token.Sym = Symbol::Zahl;
    token.Value = value;
}

// text: '"' { character } [ '"' ], ending at the line end without a closing quote
void ScanText(TToken& token)
{
    std::string text;
    while (nextCh != EOT && nextCh != CR && nextCh != '"') {
        GetRawCh();
        if (text.size() < maxTextLength)
            text += ch;
    }
    token.Sym = Symbol::Texte;
    token.Text = std::move(text);
    if (nextCh == '"')
        GetCh();
}

void ScanSymbol(TToken& token)
{
    switch (ch) {
    case EOT: token.Sym = Symbol::EOT_Sym; break;
    case CR:  token.Sym = Symbol::EOL_Sym; break;
    case '#': token.Sym = Symbol::ungleich; break;
    case '(': token.Sym = Symbol::Klammer_auf; break;
    case ')': token.Sym = Symbol::Klammer_zu; break;
    case '*': token.Sym = Symbol::mal; break;
    case '+': token.Sym = Symbol::plus; break;
    case '-': token.Sym = Symbol::minus; break;
    case ':': token.Sym = Symbol::geteilt; break;
    case ';': token.Sym = Symbol::Semikolon; break;
    case '=': token.Sym = Symbol::gleich; break;
    case '>': token.Sym = Symbol::groesser; break;
    case '.':
        if (nextCh != '.') {
            SyntaxError("Hier sollte ein Komma stehen oder es fehlt der zweite Punkt.");
            return;
        }
        GetCh();
        token.Sym = Symbol::PunktPunkt;
        break;
    case '<':
        if (nextCh == '=') {
            GetCh();
            token.Sym = Symbol::Zuweisung_Sym;
        } else {
            token.Sym = Symbol::kleiner;
        }
        break;
    default:
        break;
    }
}

} // namespace

const char* SymbolName(Symbol sym)
{
    const auto i = static_cast<unsigned>(sym);
    return i < static_cast<unsigned>(SymbolCount) ? symbolNames[i] : "";
}

void InitScanner(const std::string& text)
{
    source = text;
    readPos = 0;
    ch = EOT;
    nextCh = ReadCh();
    SyntaxFehler().Line = 0;
    SyntaxFehler().Column = 0;
}

bool GetSym(TToken& token)
{
    parseOk = true;
    GetCh();
    while (IsBlank(ch))
        GetCh();
    if (IsNameLetter(ch))
        ScanName(token);
    else if (ch == '"')
        ScanText(token);
    else if (IsDigitChar(ch))
        ScanNumber(token);
    else if (IsSymbolStart(ch))
        ScanSymbol(token);
    else {
        SyntaxError("Dieses Zeichen ist nicht bekannt. (S2)");
        return false;
    }
    return parseOk;
}

void SyntaxError(const std::string& message)
{
    parseOk = false;
    TSyntaxFehler& where = SyntaxFehler();
    where.Message = message;
    const FrontEndOutput& out = CurrentFrontEndOutput();
    if (out.compileError)
        out.compileError(message, where.Line, where.Column);
}

bool ParseOk() { return parseOk; }

void CancelParse() { parseOk = false; }

} // namespace tarko
