#pragma once
// Turns program text (Windows-1252, CR LF) into tokens, one per GetSym, and
// owns the one routine through which every compile error is reported.
#include <cstdint>
#include <string>

namespace tarko {

// The token kinds with their display names (Windows-1252). Entries 0..25 are
// also the keyword table: a name is a keyword when NAME + "_Sym" equals one.
#define TARKO_SYMBOLS(X)                               \
    X(SOLANGE_Sym,        "SOLANGE_Sym")               \
    X(SOLANGEENDE_Sym,    "SOLANGEENDE_Sym")           \
    X(WIEDERHOLE_Sym,     "WIEDERHOLE_Sym")            \
    X(BIS_Sym,            "BIS_Sym")                   \
    X(FALLS_Sym,          "FALLS_Sym")                 \
    X(ANSONSTEN_Sym,      "ANSONSTEN_Sym")             \
    X(FALLSENDE_Sym,      "FALLSENDE_Sym")             \
    X(UND_Sym,            "UND_Sym")                   \
    X(ODER_Sym,           "ODER_Sym")                  \
    X(EINGABE_Sym,        "EINGABE_Sym")               \
    X(ZUFALLSEINGABE_Sym, "ZUFALLSEINGABE_Sym")        \
    X(AUSGABE_Sym,        "AUSGABE_Sym")               \
    X(LOESCHEN_Sym,       "L\xD6SCHEN_Sym")            \
    X(PAUSE_Sym,          "PAUSE_Sym")                 \
    X(SCHWARZ_Sym,        "SCHWARZ_Sym")               \
    X(GRAU_Sym,           "GRAU_Sym")                  \
    X(WEISS_Sym,          "WEI\xDF_Sym")               \
    X(ROT_Sym,            "ROT_Sym")                   \
    X(GELB_Sym,           "GELB_Sym")                  \
    X(GRUEN_Sym,          "GR\xDCN_Sym")               \
    X(BLAU_Sym,           "BLAU_Sym")                  \
    X(PUNKT_Sym,          "PUNKT_Sym")                 \
    X(LINIE_Sym,          "LINIE_Sym")                 \
    X(RECHTECK_Sym,       "RECHTECK_Sym")              \
    X(KREIS_Sym,          "KREIS_Sym")                 \
    X(GRAFIKTEXT_Sym,     "GRAFIKTEXT_Sym")            \
    X(gleich,             "gleich")                    \
    X(groesser,           "groesser")                  \
    X(kleiner,            "kleiner")                   \
    X(ungleich,           "ungleich")                  \
    X(plus,               "plus")                      \
    X(minus,              "minus")                     \
    X(mal,                "mal")                       \
    X(geteilt,            "geteilt")                   \
    X(Klammer_auf,        "Klammer_auf")               \
    X(Klammer_zu,         "Klammer_zu")                \
    X(PunktPunkt,         "PunktPunkt")                \
    X(Semikolon,          "Semikolon")                 \
    X(Bezeichner,         "Bezeichner")                \
    X(Zahl,               "Zahl")                      \
    X(Texte,              "Texte")                     \
    X(Zuweisung_Sym,      "Zuweisung_Sym")             \
    X(EOL_Sym,            "EOL_Sym")                   \
    X(EOT_Sym,            "EOT_Sym")

enum class Symbol : uint8_t {
#define TARKO_SYMBOL_ENUM(name, text) name,
    TARKO_SYMBOLS(TARKO_SYMBOL_ENUM)
#undef TARKO_SYMBOL_ENUM
};

constexpr int SymbolCount = 44;
constexpr int KeywordCount = 26;      // kinds 0..25
constexpr int maxNameLength = 20;
constexpr int maxTextLength = 80;

// Display name of a token kind (Windows-1252), "" outside the table.
const char* SymbolName(Symbol sym);

struct TToken {
    Symbol Sym = Symbol::EOT_Sym;
    std::string Name;   // keywords and Bezeichner: the word in capitals, at most 20 characters
    std::string Text;   // Texte: the characters between the quotes, at most 80
    double Value = 0;   // Zahl
};

// Takes a copy of the text; starts at its first character, line 0, column 0.
void InitScanner(const std::string& text);

// Reads the next token. False after a scan error (already reported through
// SyntaxError). At the end of the text it keeps delivering EOT_Sym.
bool GetSym(TToken& token);

// Reports a compile error at the current position: clears ParseOk and hands
// message, line and column to the compile-error output.
void SyntaxError(const std::string& message);

// True while no error has been reported; set again by every GetSym.
bool ParseOk();

// Ends a compilation without a compile error (the text store overflow has
// shown its own internal-error box).
void CancelParse();

} // namespace tarko
