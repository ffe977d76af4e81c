#include "language/TokenPass.h"

#include "language/NumberText.h"
#include "language/Scanner.h"

namespace tarko {

namespace {

std::string Entry(const TToken& token)
{
    std::string entry = SymbolName(token.Sym);
    switch (token.Sym) {
    case Symbol::Bezeichner:
        entry += ':';
        entry += token.Name;
        if (entry.size() > 41)
            entry.resize(41);
        break;
    case Symbol::Zahl:
        entry += ':';
        entry += NumberText(token.Value);
        break;
    case Symbol::Texte:
        entry += ':';
        entry += token.Text;
        if (entry.size() > 101)
            entry.resize(101);
        break;
    default:
        break;
    }
    return entry;
}

} // namespace

bool TokenPass(const std::string& text, const std::function<void(const std::string& entry)>& out,
               bool* scanError)
{
    if (scanError)
        *scanError = false;
    InitScanner(text);
    bool result = false;
    TToken token;
    for (;;) {
        if (!GetSym(token)) {
            if (scanError)
                *scanError = true;
            return result;
        }
        if (out)
            out(Entry(token));
        result = true;
        if (token.Sym == Symbol::EOT_Sym)
            return result;
    }
}

} // namespace tarko
