#include "language/Cp1252.h"

namespace tarko {

namespace {
// Code points of bytes 0x80–0x9F; everything else equals Latin-1.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

char32_t Cp1252ToUnicode(unsigned char byte)
{
    return (byte >= 0x80 && byte <= 0x9F) ? kHigh[byte - 0x80] : char32_t(byte);
}

int UnicodeToCp1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp)
            return 0x80 + i;
    return -1;
}

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (unsigned char c : text)
        appendUtf8(out, Cp1252ToUnicode(c));
    return out;
}

std::string Utf8ToCp1252(std::string_view text, bool* lossless)
{
    std::string out;
    out.reserve(text.size());
    bool ok = true;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
        else { out += '?'; ok = false; ++i; continue; }
        bool valid = i + len <= text.size();
        for (size_t k = 1; valid && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) valid = false;
            else cp = (cp << 6) | (cc & 0x3F);
        }
        if (!valid) { out += '?'; ok = false; ++i; continue; }
        i += len;
        int b = UnicodeToCp1252(cp);
        if (b < 0) { out += '?'; ok = false; }
        else out += static_cast<char>(b);
    }
    if (lossless) *lossless = ok;
    return out;
}

} // namespace tarko
