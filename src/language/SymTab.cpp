#include "language/SymTab.h"

#include "language/FrontEndOutput.h"
#include "language/PCode.h"

#include <memory>
#include <vector>

namespace tarko {

namespace {

// Owns the entries; the list itself runs through TSymEntry::Next.
std::vector<std::unique_ptr<TSymEntry>> entries;
TSymEntry* first = nullptr;

std::vector<std::string> texts;   // grows up to maxTextAdr + 1 slots
int textCount = -1;               // index of the last stored text

std::string CutName(const std::string& name)
{
    return name.size() > 20 ? name.substr(0, 20) : name;
}

TSymEntry* NewEntry(const std::string& name)
{
    auto entry = std::make_unique<TSymEntry>();
    entry->Name = name;
    entry->Address = NewDataAdr();
    entries.push_back(std::move(entry));
    return entries.back().get();
}

} // namespace

void ClearSymTab()
{
    entries.clear();
    first = nullptr;
    texts.clear();
    textCount = -1;
}

bool Lookup(const std::string& name, TSymEntry*& entry)
{
    const std::string key = CutName(name);
    for (TSymEntry* e = first; e; e = e->Next)
        if (e->Name == key) {
            entry = e;
            return true;
        }
    entry = nullptr;
    return false;
}

bool Enter(const std::string& name, TSymEntry*& entry)
{
    const std::string key = CutName(name);
    if (!first) {
        first = NewEntry(key);
        entry = first;
        return false;
    }
    TSymEntry* e = first;
    while (e->Next && e->Name != key)
        e = e->Next;
    if (e->Name == key) {
        entry = e;
        return true;
    }
    e->Next = NewEntry(key);
    entry = e->Next;
    return false;
}

const TSymEntry* FirstSymbol() { return first; }

int AddText(const std::string& text)
{
    if (textCount >= maxTextAdr) {
        ReportInternalError("Interner Fehler 1: maxTextAdr-\xDC" "berlauf in SymTab");
        return -1;
    }
    ++textCount;
    texts.push_back(text);
    return textCount;
}

const std::string& GetText(int index)
{
    static const std::string none;
    if (index < 0 || index > textCount)
        return none;
    return texts[static_cast<size_t>(index)];
}

int TextCount() { return textCount + 1; }

} // namespace tarko
