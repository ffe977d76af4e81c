#pragma once
// Program text lives in the language system as Windows-1252 bytes. These two
// functions are the only place where it meets UTF-8 (files written by tarko-run,
// terminal output). The Qt side converts through src/editor/WinText.h.
#include <cstdint>
#include <string>
#include <string_view>

namespace tarko {

// The Unicode code point a Windows-1252 byte stands for. Unassigned bytes
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 … so every byte survives a round trip.
char32_t Cp1252ToUnicode(unsigned char byte);

// The Windows-1252 byte for a code point; -1 when the character cannot be stored.
int UnicodeToCp1252(char32_t cp);

std::string Cp1252ToUtf8(std::string_view text);

// Malformed UTF-8 and characters without a Windows-1252 byte become '?';
// *lossless (when given) tells whether that happened.
std::string Utf8ToCp1252(std::string_view text, bool* lossless = nullptr);

} // namespace tarko
