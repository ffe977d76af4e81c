#pragma once
// The variables of the program being compiled (name -> data address) and the
// text store the code refers to by index.
#include <string>

namespace tarko {

struct TSymEntry {
    std::string Name;          // as the scanner delivers it: capitals, at most 20 characters
    double Address = 0;        // data address, used unchanged as PUSH/POPC operand
    TSymEntry* Next = nullptr; // next variable in order of declaration
};

constexpr int maxTextAdr = 9999;   // last index of the text store

// Empties the variable list and the text store; once per compilation.
void ClearSymTab();

// True and the entry when a variable of that name exists; declares nothing.
bool Lookup(const std::string& name, TSymEntry*& entry);

// Declares the name if needed, taking its address from NewDataAdr. True when
// it was already declared; entry is the (old or new) variable either way.
bool Enter(const std::string& name, TSymEntry*& entry);

// First variable in order of declaration (nullptr when there is none).
const TSymEntry* FirstSymbol();

// Stores a copy of the text and returns its index. When all 10000 slots are
// used it shows internal error 1 and returns -1; nothing is stored.
int AddText(const std::string& text);

// The text at an index AddText returned in the current compilation; an empty
// text for any other index.
const std::string& GetText(int index);

// Number of texts stored since ClearSymTab.
int TextCount();

} // namespace tarko
