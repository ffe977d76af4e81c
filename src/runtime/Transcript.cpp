#include "runtime/Transcript.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace tarko {

namespace {

// SHA-256 (FIPS 180-4), enough for hashing a transcript.
class Sha256 {
public:
    void Add(const std::string& bytes)
    {
        for (const char c : bytes) {
            block[used++] = static_cast<uint8_t>(c);
            if (used == 64)
                Compress();
        }
        length += bytes.size();
    }

    std::string HexDigest()
    {
        const uint64_t bits = length * 8;
        block[used++] = 0x80;
        if (used > 56) {
            while (used < 64)
                block[used++] = 0;
            Compress();
        }
        while (used < 56)
            block[used++] = 0;
        for (int i = 7; i >= 0; --i)
            block[used++] = static_cast<uint8_t>(bits >> (i * 8));
        Compress();
        std::string hex;
        for (const uint32_t word : h) {
            char buf[9];
            std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(word));
            hex += buf;
        }
        return hex;
    }

private:
    static uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

    void Compress()
    {
        static constexpr std::array<uint32_t, 64> k = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        std::array<uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
                   uint32_t(block[4 * i + 2]) << 8 | uint32_t(block[4 * i + 3]);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = hh + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const uint32_t next[8] = {a, b, c, d, e, f, g, hh};
        for (int i = 0; i < 8; ++i)
            h[i] += next[i];
        used = 0;
    }

    std::array<uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<uint8_t, 64> block{};
    size_t used = 0;
    uint64_t length = 0;
};

} // namespace

std::vector<std::string> TranscriptLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (text[i] == '\r')
                ++i;
            lines.push_back(line);
            line.clear();
        } else {
            line += text[i];
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::optional<TranscriptDifference> FirstDifference(const std::string& expected, const std::string& actual)
{
    const std::vector<std::string> want = TranscriptLines(expected), got = TranscriptLines(actual);
    for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        if (i < want.size() && i < got.size() && want[i] == got[i])
            continue;
        TranscriptDifference d;
        d.line = static_cast<int>(i) + 1;
        if (i < want.size())
            d.expected = want[i];
        if (i < got.size())
            d.actual = got[i];
        return d;
    }
    return std::nullopt;
}

std::string TranscriptHash(const std::string& text)
{
    Sha256 sha;
    for (const std::string& line : TranscriptLines(text))
        sha.Add(line + '\n');
    return "sha256:" + sha.HexDigest();
}

std::string QuotedText(const std::string& utf8, bool json)
{
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, json ? "\\u%04x" : "\\x%02x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + '"';
}

std::string DifferenceText(const TranscriptDifference& d)
{
    const auto version = [](const std::optional<std::string>& text) {
        return text ? QuotedText(*text) : std::string("nichts (Ausgabe zu Ende)");
    };
    return "Ausgabezeile " + std::to_string(d.line) + ": erwartet " + version(d.expected) + ", erhalten " +
           version(d.actual);
}

} // namespace tarko
