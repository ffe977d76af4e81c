#include "workbench/Formatter.h"

#include <algorithm>

namespace tarko {

namespace {

constexpr int MaxTabs = 30;

// Name-continuation characters: letters, the umlauts, sharp s and digits.
bool IsNameChar(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == 0xC4 ||
           c == 0xD6 || c == 0xDC || c == 0xDF || c == 0xE4 || c == 0xF6 || c == 0xFC;
}

// The scanner's capitals: a-z and the three small umlauts.
char Capital(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return char(c - 32);
    if (c == 0xE4 || c == 0xF6 || c == 0xFC)
        return char(c - 32);
    return char(c);
}

std::string FirstWord(const std::string& s)
{
    std::string w;
    for (unsigned char c : s) {
        if (!IsNameChar(c))
            break;
        w += Capital(c);
    }
    return w;
}

} // namespace

std::vector<int> FormatLines(std::vector<std::string>& lines)
{
    std::vector<int> changed;
    int level = 0;
    for (int i = 0; i < int(lines.size()); ++i) {
        std::string s = lines[i];
        // Blanks first, then TABs: blanks behind a TAB stay.
        s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
        s.erase(0, std::min(s.find_first_not_of('\t'), s.size()));
        const std::string w = FirstWord(s);
        if (w == "FALLSENDE" || w == "BIS" || w == "SOLANGEENDE" || w == "ANSONSTEN")
            --level;
        s.insert(0, std::string(size_t(std::clamp(level, 0, MaxTabs)), '\t'));
        if (s != lines[i]) {
            lines[i] = s;
            changed.push_back(i);
        }
        if (w == "ANSONSTEN" || w == "FALLS" || w == "WIEDERHOLE" || w == "SOLANGE")
            ++level;
    }
    return changed;
}

} // namespace tarko
