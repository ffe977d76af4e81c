#pragma once
// Find and replace as both editions have them: the dialogs' texts and the
// search on the program's Windows-1252 text (always forward, case always
// counts). Plain C++, so that the browser edition takes the very same texts
// and rule from the core module.
#include <string>
#include <string_view>
#include <vector>

namespace tarko {

// The dialogs' texts, UTF-8; '&' marks an access letter. "%1" stands for
// the search text or the character that cannot be stored.
struct SearchText {
    const char* key;
    const char* text;
};
inline constexpr SearchText SearchTexts[] = {
    {"FindTitle", "Suchen"},
    {"ReplaceTitle", "Ersetzen"},
    {"FindLabel", "Su&chen nach:"},
    {"ReplaceLabel", "Ersetzen &durch:"},
    {"FindNext", "&Weitersuchen"},
    {"Replace", "&Ersetzen"},
    {"ReplaceAll", "&Alle ersetzen"},
    {"Cancel", "Abbrechen"},
    {"NotFound", "Der Suchtext \"%1\" konnte nicht gefunden werden."},
    {"Unstorable", "Das Zeichen „%1“ kann in einer Tarko-Datei nicht gespeichert werden."},
};

inline const char* SearchTextOf(std::string_view key)
{
    for (const SearchText& t : SearchTexts)
        if (key == t.key)
            return t.text;
    return "";
}

// The first occurrence of `what` in `text` at or behind offset `from`;
// npos when there is none or `what` is empty.
inline size_t FindForward(std::string_view text, std::string_view what, size_t from)
{
    return what.empty() ? std::string_view::npos : text.find(what, from);
}

// What replace all replaces: the occurrences from left to right, each search
// going on behind the one before, so that a replacement which holds the
// search text is not searched again and replacing ends.
inline std::vector<int> Occurrences(std::string_view text, std::string_view what)
{
    std::vector<int> found;
    for (size_t at = FindForward(text, what, 0); at != std::string_view::npos;
         at = FindForward(text, what, at + what.size()))
        found.push_back(int(at));
    return found;
}

} // namespace tarko
