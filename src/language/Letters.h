#pragma once
// The letters of names (Windows-1252) and their capitals, shared by the
// scanner and the formatter so that both read a word the same way.

namespace tarko {

// "A"-"Z", "a"-"z", the umlauts and sharp s.
inline bool IsNameLetter(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == 0xC4 || u == 0xD6 ||
           u == 0xDC || u == 0xDF || u == 0xE4 || u == 0xF6 || u == 0xFC;
}

inline bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// A letter or a digit: what may follow the first letter of a name.
inline bool IsNameChar(char c) { return IsNameLetter(c) || IsDigitChar(c); }

// Small letters and small umlauts become capitals; "ß", digits stay.
inline char NameCapital(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || u == 0xE4 || u == 0xF6 || u == 0xFC)
        return static_cast<char>(u - 32);
    return c;
}

} // namespace tarko
