#include "language/Formatter.h"

#include <algorithm>

#include "language/Letters.h"

namespace tarko {

namespace {

constexpr int MaxTabs = 30;

std::string FirstWord(const std::string& s)
{
    std::string w;
    for (char c : s) {
        if (!IsNameChar(c))
            break;
        w += NameCapital(c);
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

std::string FormatText(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    lines.push_back(text.substr(from));
    FormatLines(lines);
    std::string out;
    out.reserve(text.size() + 64);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            out += "\r\n";
        out += lines[i];
    }
    return out;
}

} // namespace tarko
